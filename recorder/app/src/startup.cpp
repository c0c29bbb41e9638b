// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup.hpp"

#include "framelogic.hpp"
#include "vm0007form.hpp"

#include "vek/platform/winreg.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

namespace vekvmail {

namespace {
QString g_title = QString::fromLatin1(kAppTitle);
}

QString applicationTitle() { return g_title; }
void setApplicationTitle(const QString& t) { g_title = t; }

QString programDir() {
    QString d = QCoreApplication::applicationDirPath();
    if (!d.endsWith('/')) d += '/';
    return d;
}

QString iniPathFor(const QString& dir) {
    const QString besidePath = dir + QStringLiteral("VEKVMAIL.INI");
    const QFileInfo fi(besidePath);
    const bool beside = fi.isFile();
    // Settings are written back through a temporary file in the same folder.
    const bool writable = beside && fi.isWritable() && QFileInfo(dir).isWritable();
    const QString cfg = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QString path =
        QString::fromStdString(chooseIniPath(dir.toStdString(), cfg.toStdString(), beside, writable));
    if (path != besidePath) {
        QDir().mkpath(QFileInfo(path).path());
        if (beside && !QFileInfo::exists(path)) QFile::copy(besidePath, path);
    }
    return path;
}

QString dataDirFor(const QString& dir) {
    const QFileInfo fi(dir + QStringLiteral("DATA"));
    const bool beside = fi.isDir() && fi.isWritable();
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QString::fromStdString(chooseDataDir(dir.toStdString(), data.toStdString(), beside));
}

bool FileExistsNotDir(const QString& path) {
    if (path.isEmpty()) return false;
    const QFileInfo fi(path);
    return fi.exists() && !fi.isDir();
}

bool ForceForeground(const vek::winreg::WindowRef& w) {
    // No foreground lock to lift here: the owner raises and activates its
    // window, the strongest request a program can make of the window system.
    return vek::winreg::setForegroundWindow(w);
}

bool FindRunningInstance(const QString& file) {
    using namespace vek::winreg;
    const QString title = QString::fromLatin1(kAppTitle);
    // One trailing blank keeps our own application entry from matching.
    setApplicationTitle(title + ' ');
    std::optional<WindowRef> other;
    for (TransportState s : {TransportState::Stopped, TransportState::Playing, TransportState::Recording}) {
        other = findWindow(QString::fromLatin1(kAppClass), QString::fromStdString(applicationTitleFor(s)));
        if (other) break;
    }
    if (!other) {
        setApplicationTitle(title);
        return false;
    }
    if (isIconic(*other).value_or(false))
        showWindow(*other, ShowCommand::Normal);
    else
        ForceForeground(*other);
    if (!file.isEmpty() && FileExistsNotDir(file)) {
        // The main window of the same process as the application entry.
        for (const WindowRef& w : allWindows()) {
            if (w.socket != other->socket || w.className.compare(QString::fromLatin1(kMainClass), Qt::CaseInsensitive) != 0)
                continue;
            // The path as a zero-terminated string, as the window's handler
            // reads it.
            QByteArray data = QFile::encodeName(QFileInfo(file).absoluteFilePath());
            data.append('\0');
            sendMessage(w, kWmCopyData, data);
            break;
        }
    }
    setApplicationTitle(title);
    return true;
}

void registerWindows(TVM0007Form* form) {
    auto& reg = vek::winreg::WindowRegistry::instance();
    reg.registerWindow(form, QString::fromLatin1(kAppClass), [] { return applicationTitle(); });
    reg.registerWindow(form, QString::fromLatin1(kMainClass), [form] { return form->windowTitle(); });
    reg.setMessageHandler([form](QWidget*, quint32 msg, const QByteArray& data) -> qint64 {
        if (msg == kWmCopyData) return form->WMCopyData(data);
        if (msg == kWmClose) {
            QMetaObject::invokeMethod(form, &QWidget::close, Qt::QueuedConnection);
            return 1;
        }
        return 0;
    });
}

void WaitMs(quint16 ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, int(ms - t.elapsed()) + 1);
        QThread::msleep(1);
    }
}

}  // namespace vekvmail

#include "icons.hpp"
#include "maildlg.hpp"

#include "vek/recoptions/aboutbox.hpp"
#include "vek/recoptions/vopdlg.hpp"

#include <QApplication>
#include <QFont>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

namespace vekvmail {

void applyLook(QApplication& app) {
    if (QStyle* s = QStyleFactory::create(QStringLiteral("Fusion"))) app.setStyle(s);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(11);
    f.setStyleHint(QFont::SansSerif);
    app.setFont(f);
    // A silver face with dark text; the display is dark on its own.
    QPalette p = app.style()->standardPalette();
    const QColor face(0xdc, 0xdf, 0xe3), button(0xe8, 0xea, 0xed), text(0x1e, 0x24, 0x2b);
    p.setColor(QPalette::Window, face);
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::Light, Qt::white);
    p.setColor(QPalette::Midlight, QColor(0xee, 0xf0, 0xf2));
    p.setColor(QPalette::Mid, QColor(0xa4, 0xa9, 0xb0));
    p.setColor(QPalette::Dark, QColor(0x8a, 0x90, 0x98));
    p.setColor(QPalette::Shadow, QColor(0x50, 0x55, 0x5c));
    p.setColor(QPalette::Highlight, QColor(0x2f, 0x6f, 0xb8));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, QColor(0xff, 0xfb, 0xe0));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x8a, 0x90, 0x98));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x8a, 0x90, 0x98));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x8a, 0x90, 0x98));
    app.setPalette(p);
}

int runVekVMail(int argc, char** argv, const std::function<void(TVM0007Form&)>& afterShow) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("VekVMail"));
    setApplicationTitle(QString::fromLatin1(kAppTitle));
    const QString file = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (FindRunningInstance(file)) return 0;
    applyLook(app);
    app.setWindowIcon(programIcon());

    TVM0007Form::Environment env;
    env.commandLineFile = file;
    TVM0007Form form(env);
    // Made after the main window, in this order; they live for the whole run.
    TVOPDlg voiceDlg(&form);
    TMailDlg mailDlg(&form);
    TAboutBox aboutBox(programIcon(), nullptr, &form);
    form.setDialogs(&voiceDlg, &mailDlg, &aboutBox);
    registerWindows(&form);
    if (afterShow) QObject::connect(&form, &TVM0007Form::shownOnce, &form, [&form, afterShow] { afterShow(form); });
    form.show();
    return app.exec();
}

}  // namespace vekvmail
