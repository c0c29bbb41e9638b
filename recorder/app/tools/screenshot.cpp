// Renders the recorder window into PNG files, without a display:
//   vekvmail_screenshot OUT.png [FILE.sc4]
// OUT.png shows a new recording, OUT-2x.png the same at twice the scale,
// OUT-mail.png the mail-program dialog; with a voice file OUT-open.png shows
// the window with that file open.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "maildlg.hpp"
#include "startup.hpp"
#include "vm0007form.hpp"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The window with its menu bar, as the screen shows it inside the frame.
QImage grabAt(QWidget& w, qreal dpr) {
    QImage img(w.size() * dpr, QImage::Format_ARGB32);
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::white);
    QPainter p(&img);
    w.render(&p);
    p.end();
    return img;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;  // not the user's settings or data folder
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    QApplication app(argc, argv);
    vekvmail::applyLook(app);
    const QString out = QString::fromLocal8Bit(argv[1]);
    // A settings file, so that the first-run dialog stays closed.
    QDir().mkpath(home.path() + "/config/voice-lumo");
    QFile ini(home.path() + "/config/voice-lumo/VEKVMAIL.INI");
    if (ini.open(QIODevice::WriteOnly)) ini.write("[Main]\r\nMainLeft=0\r\nMainTop=0\r\n");
    ini.close();

    bool ok = true;
    {
        vekvmail::TVM0007Form form;
        vekvmail::TMailDlg mail(&form);
        form.setDialogs(nullptr, &mail, nullptr);
        form.show();
        QTest::qWait(50);
        ok = grabAt(form, 1).save(out) && ok;
        ok = grabAt(form, 2).save(QString(out).replace(".png", "-2x.png")) && ok;
        mail.show();
        QTest::qWait(50);
        ok = mail.grab().save(QString(out).replace(".png", "-mail.png")) && ok;
        mail.hide();
        form.setModified(false);
    }
    if (argc >= 3) {
        vekvmail::TVM0007Form::Environment env;
        env.commandLineFile = QString::fromLocal8Bit(argv[2]);
        vekvmail::TVM0007Form form(env);
        form.show();
        QTest::qWait(100);
        ok = grabAt(form, 1).save(QString(out).replace(".png", "-open.png")) && ok;
        ok = grabAt(form, 2).save(QString(out).replace(".png", "-open-2x.png")) && ok;
    }
    return ok ? 0 : 1;
}
