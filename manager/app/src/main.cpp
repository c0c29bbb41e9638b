// VekShell, the voice-file manager.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "aboutbox.hpp"
#include "conversion.hpp"
#include "mainform.hpp"
#include "splashform.hpp"
#include "startup.hpp"

#include <QApplication>
#include <QFileInfo>

#include "vek/platform/safefile.hpp"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("VekShell"));
    vekshell::setApplicationTitle(vekshell::kAppTitle);
    if (vekshell::activatePreviousInstance()) return 0;
    app.setWindowIcon(vekshell::programIcon());
    // What a killed or crashed run left: the conversion jobs' frame files in
    // the temporary folder and a half-written settings file beside ours.
    vek::safefile::sweepUserTempFolder();
    vek::safefile::sweepStale(QFileInfo(vekshell::settingsFilePath()).absolutePath().toStdString());

    new vekshell::TSplashForm;  // destroys itself after two seconds
    vekshell::TMainForm form;
    vekshell::installConversionDialogs(form);
    vekshell::registerMainWindow(&form);
    form.show();
    return app.exec();
}
