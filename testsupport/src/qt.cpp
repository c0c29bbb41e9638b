// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/testsupport/qt.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

namespace vek::testsupport {

const QString& sandboxHome() {
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/vek-home-XXXXXX"));
    static const QString home = [] {
        const QString h = dir.path();
        qputenv("HOME", h.toUtf8());
        for (const char* sub : {"config", "data", "cache", "run"}) QDir().mkpath(h + '/' + QLatin1String(sub));
        qputenv("XDG_CONFIG_HOME", (h + "/config").toUtf8());
        qputenv("XDG_DATA_HOME", (h + "/data").toUtf8());
        qputenv("XDG_CACHE_HOME", (h + "/cache").toUtf8());
        qputenv("XDG_RUNTIME_DIR", (h + "/run").toUtf8());
        QFile::setPermissions(h + "/run", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return h;
    }();
    return home;
}

bool waitFor(const std::function<bool()>& cond, int ms) {
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray toByteArray(const std::vector<std::uint8_t>& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

bool writeBytes(const QString& path, const std::vector<std::uint8_t>& bytes) {
    return writeBytes(path, toByteArray(bytes));
}

}  // namespace vek::testsupport
