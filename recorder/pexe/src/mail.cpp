// Voice mail: the send command.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/recpexe/mail.hpp"

#include "scope.hpp"

namespace vek::recpexe {

int getMailProg(const MailRadios& radios) {
    for (int i = 0; i < 4; ++i)
        if (radios[static_cast<std::size_t>(i)]) return i;
    return kNetscapeIndex;
}

void setMailProg(MailRadios& radios, int index) {
    if (index < 0 || index > kNetscapeIndex) return;
    radios.fill(false);
    radios[static_cast<std::size_t>(index)] = true;
}

MailOutcome mailClick(OutgoingKind kind, const fs::path& currentFile, int mailProg, bool runFlag,
                      const mailreg::Store& store, MailHost& host) {
    if (hasExtension(currentFile, ".exe")) {
        host.show(kMsgSaveAsSc4First, kCaption, Icon::Information);
        return MailOutcome::RefusedExe;
    }
    host.setBusy(true);
    ScopeExit done([&host] {
        host.clearStatusText();
        host.setBusy(false);
    });
    auto improper = [&host] {
        host.show(kMsgImproperMailProgram, kCaption, Icon::Warning);
        return MailOutcome::Improper;
    };
    if (mailProg == kNetscapeIndex) {
        if (host.shellOpen("netscape.exe", "-mail") <= 32) return improper();
        return MailOutcome::NetscapeStarted;
    }
    std::string command;
    if (!mailreg::findMailClient(store, command, mailProg, runFlag)) return improper();
    if (runFlag && !command.empty() && host.startCommand(command) <= 31) return improper();
    const std::optional<fs::path> out = host.prepareOutgoing(kind);
    if (!out) return MailOutcome::NotPrepared;
    if (host.sendIMail(fs::absolute(*out).string(), std::string()) != 0) return improper();
    return MailOutcome::Sent;
}

MailProgOutcome mailProgClick(MailProgDialog& dlg, const WriteMailSettings& write, const mailreg::Store& store,
                              MessageSink& msg) {
    const int before = getMailProg(dlg.radios());
    const bool runBefore = dlg.runFlag();
    if (!dlg.exec()) {
        MailRadios r = dlg.radios();
        setMailProg(r, before);
        dlg.setRadios(r);
        dlg.setRunFlag(runBefore);
        return MailProgOutcome::Cancelled;
    }
    const int index = getMailProg(dlg.radios());
    write(index, dlg.runFlag());
    if (index < kNetscapeIndex && mailreg::selectMailClient(store, index) == mailreg::SelectResult::WriteFailed) {
        msg.show(mailreg::failedToSetDataMessage(), kCaption, Icon::Error);
        return MailProgOutcome::SelectFailed;
    }
    return MailProgOutcome::Saved;
}

}  // namespace vek::recpexe
