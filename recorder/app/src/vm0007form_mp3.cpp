// "Send Voice Mail (&MP3)...": the recording attached as an MP3 file built in
// the data folder, for recipients who have neither the suite nor a Windows
// PC. The steps are those of the other two send commands (the open ".exe"
// refusal, the mail program of the "Select Mail Program" dialog, saving a
// changed file first, SendIMail, the improper-program message): the window's
// one send path (vm0007form_dragmail.cpp) with the MP3 kind.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vm0007form.hpp"

#include "vek/recpexe/outgoing.hpp"

namespace vekvmail {

void TVM0007Form::MailMp3Click() { sendMail(vek::recpexe::OutgoingKind::Mp3); }

}  // namespace vekvmail
