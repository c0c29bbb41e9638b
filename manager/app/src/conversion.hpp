// Binds the main window's two conversion commands to the conversion dialogs
// TWavDlg (SC4 to WAV) and TCvfDlg (WAV to SC4).
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace vekshell {
class TMainForm;
// Creates the dialogs (step 5 of the program start) and hands the form the
// function that shows them modally.
void installConversionDialogs(TMainForm& form);
// Whether this build holds the dialogs.
bool haveConversionDialogs();
}  // namespace vekshell
