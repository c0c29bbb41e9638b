// Sending the recording as a mail attachment, over the window's services.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <filesystem>
#include <optional>
#include <string>

#include "vek/platform/mailreg.hpp"
#include "vek/recpexe/outgoing.hpp"
#include "vek/recpexe/pexe.hpp"

namespace vek::recpexe {

inline constexpr const char* kMsgImproperMailProgram =
    "Can not send mail because mail program is improper.\r\rCorrectly select your mail program in [Mail "
    "Program] of [Option] menu.";
inline constexpr int kNetscapeIndex = 4;
inline constexpr int kDefaultMailProg = 3;

// The five radio buttons of the mail dialog, in table order.
using MailRadios = std::array<bool, 5>;
// GetMailProg: the first selected of the first four, else 4.
int getMailProg(const MailRadios& radios);
// SetMailProg: selects that button alone; other values change nothing.
void setMailProg(MailRadios& radios, int index);

class MailHost : public MessageSink {
public:
    virtual void setBusy(bool busy) = 0;  // hourglass on / default cursor
    // ShellExecute "open": its result (above 32 when started).
    virtual int shellOpen(const std::string& program, const std::string& params) = 0;
    // WinExec of a command line: its result (above 31 when started).
    virtual int startCommand(const std::string& commandLine) = 0;
    virtual std::optional<fs::path> prepareOutgoing(OutgoingKind kind) = 0;
    virtual std::int32_t sendIMail(const std::string& path, const std::string& text) = 0;
    virtual void clearStatusText() = 0;
};

enum class MailOutcome {
    RefusedExe,        // an open .exe: the "Try again after save" message
    NetscapeStarted,   // the program was started, nothing attached
    Improper,          // the improper-program message was shown
    NotPrepared,       // the outgoing file was refused (its own message)
    Sent,              // SendIMail answered 0
};

// MailClick: the kind comes from the control (SBMail/MMailSend: Sc4,
// SBMailP/MMailSendP: Exe).
MailOutcome mailClick(OutgoingKind kind, const fs::path& currentFile, int mailProg, bool runFlag,
                      const mailreg::Store& store, MailHost& host);

// The "Select Mail Program" dialog as the command sees it.
class MailProgDialog {
public:
    virtual ~MailProgDialog() = default;
    virtual MailRadios radios() const = 0;
    virtual void setRadios(const MailRadios& r) = 0;
    virtual bool runFlag() const = 0;
    virtual void setRunFlag(bool run) = 0;
    // Shows the dialog modally; true for OK.
    virtual bool exec() = 0;
};

// Writes "MailProg" and "MailRun" into section "Main" of the settings file.
using WriteMailSettings = std::function<void(int mailProg, bool runFlag)>;

enum class MailProgOutcome { Cancelled, Saved, SelectFailed };
// mnuMailProgClick: on anything but OK both choices are put back; on OK
// they are written at once and, for one of the four clients, the client is
// made the default (a refused write shows "Failed to set data for ''",
// after the settings were written; a client missing from the store is
// not an error here).
MailProgOutcome mailProgClick(MailProgDialog& dlg, const WriteMailSettings& write, const mailreg::Store& store,
                              MessageSink& msg);

}  // namespace vek::recpexe
