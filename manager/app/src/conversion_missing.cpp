// A build without the conversion dialogs (their library was not part of the
// build): the commands check the selection as always, then say that the
// conversion is not available instead of opening a dialog.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion.hpp"
#include "mainform.hpp"

namespace vekshell {

bool haveConversionDialogs() { return false; }

void installConversionDialogs(TMainForm& form) {
    form.setConversionDialog([](TMainForm& f, bool) {
        f.showMessage(QStringLiteral("The conversion dialogs are not part of this build."), MsgIcon::Error);
    });
}

}  // namespace vekshell
