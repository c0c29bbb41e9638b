// Drop-in rules.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/recpexe/dropin.hpp"

#include "vek/recpexe/outgoing.hpp"

namespace vek::recpexe {

DropIn classifyDrop(bool transportIdle, const std::vector<fs::path>& files) {
    if (!transportIdle) return DropIn::Ignore;
    if (files.size() != 1) return DropIn::WrongCount;
    if (hasExtension(files[0], ".sc4")) return DropIn::OpenSc4;
    if (hasExtension(files[0], ".exe")) return DropIn::OpenExe;
    return DropIn::Unsupported;
}

void showDropMessage(DropIn d, MessageSink& msg) {
    if (d == DropIn::WrongCount) msg.show(kMsgSelectOneFile, kCaptionOpen, Icon::Information);
    if (d == DropIn::Unsupported) msg.show(kMsgUnsupportedFormat, kCaptionOpen, Icon::Information);
}

}  // namespace vek::recpexe
