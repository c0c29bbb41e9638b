// VekShell, the voice-file manager.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "aboutbox.hpp"
#include "conversion.hpp"
#include "mainform.hpp"
#include "splashform.hpp"
#include "startup.hpp"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("VekShell"));
    vekshell::setApplicationTitle(vekshell::kAppTitle);
    if (vekshell::activatePreviousInstance()) return 0;
    app.setWindowIcon(vekshell::programIcon());

    new vekshell::TSplashForm;  // destroys itself after two seconds
    vekshell::TMainForm form;
    vekshell::installConversionDialogs(form);
    vekshell::registerMainWindow(&form);
    form.show();
    return app.exec();
}
