// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/winreg.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QUrl>
#include <QWidget>

#include <sys/stat.h>
#include <unistd.h>

namespace vek::winreg {
namespace {

constexpr int kTimeoutMs = 1500;
QString g_directory;

QByteArray enc(const QString& s) { return QUrl::toPercentEncoding(s); }
QString dec(const QByteArray& b) { return QUrl::fromPercentEncoding(b); }

bool sameText(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// One request to one process. nullopt when nobody answers; a socket whose
// owner has gone away is removed so that later lookups skip it.
std::optional<QByteArray> request(const QString& socketPath, const QByteArray& line) {
    auto& reg = WindowRegistry::instance();
    if (socketPath == reg.socketPath()) return reg.answer(line);
    QLocalSocket s;
    s.connectToServer(socketPath);
    if (!s.waitForConnected(kTimeoutMs)) {
        const auto err = s.error();
        if (err == QLocalSocket::ConnectionRefusedError || err == QLocalSocket::ServerNotFoundError)
            QFile::remove(socketPath);
        return std::nullopt;
    }
    s.write(line + '\n');
    if (!s.waitForBytesWritten(kTimeoutMs)) return std::nullopt;
    QByteArray reply;
    while (!reply.contains('\n')) {
        if (!s.waitForReadyRead(kTimeoutMs)) return std::nullopt;
        reply += s.readAll();
    }
    s.disconnectFromServer();
    return reply.left(reply.indexOf('\n'));
}

// The registry folder is trusted only when it is a real folder (no link) of
// our own user: a folder another user made in the shared temporary
// directory could offer sockets that answer for our windows, or take ours.
bool ownFolder(const QString& dir) {
    struct stat st {};
    if (::lstat(QFile::encodeName(dir).constData(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

QStringList sockets() {
    QDir d(WindowRegistry::directory());
    QStringList out;
    if (!ownFolder(d.path())) return out;
    for (const auto& fi : d.entryInfoList(QDir::System | QDir::Files | QDir::Hidden, QDir::Name))
        if (fi.fileName().endsWith(QLatin1String(".sock"))) out << fi.absoluteFilePath();
    return out;
}

std::vector<WindowRef> query(const QString& className, const QString& title, bool firstOnly) {
    std::vector<WindowRef> out;
    const QByteArray line = "FIND\t" + enc(className) + '\t' + enc(title) + (firstOnly ? "" : "\tall");
    for (const auto& sock : sockets()) {
        auto reply = request(sock, line);
        if (!reply || *reply == "-") continue;
        for (const auto& rec : reply->split('\x1f')) {
            const auto f = rec.split('\t');
            if (f.size() != 3) continue;
            out.push_back({sock, f[0].toUInt(), dec(f[1]), dec(f[2])});
            if (firstOnly) return out;
        }
    }
    return out;
}

std::optional<QByteArray> ask(const WindowRef& w, const QByteArray& cmd, const QByteArray& args = {}) {
    QByteArray line = cmd + '\t' + QByteArray::number(w.id);
    if (!args.isEmpty()) line += '\t' + args;
    auto r = request(w.socket, line);
    if (!r || *r == "-") return std::nullopt;
    return r;
}

}  // namespace

WindowRegistry& WindowRegistry::instance() {
    static WindowRegistry* r = new WindowRegistry;  // lives as long as the process
    return *r;
}

QString WindowRegistry::directory() {
    if (!g_directory.isEmpty()) return g_directory;
    QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QString dir = !base.isEmpty() && QFileInfo(base).isDir()
                      ? base + QStringLiteral("/voice-lumo-windows")
                      : QDir::tempPath() + QStringLiteral("/voice-lumo-windows-%1").arg(::getuid());
    return dir;
}

void WindowRegistry::setDirectory(const QString& dir) { g_directory = dir; }

QString WindowRegistry::socketPath() const {
    return server_ ? server_->fullServerName() : QString();
}

bool WindowRegistry::registerWindow(QWidget* w, const QString& className,
                                    std::function<QString()> title) {
    if (!server_) {
        const QString dir = directory();
        QDir().mkpath(dir);
        if (!ownFolder(dir)) return false;
        // Private to the user: other users must not raise our windows.
        QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        const QString path = dir + QStringLiteral("/%1.sock").arg(QCoreApplication::applicationPid());
        QLocalServer::removeServer(path);  // a stale socket of a dead process with our pid
        auto* s = new QLocalServer(this);
        s->setSocketOptions(QLocalServer::UserAccessOption);
        if (!s->listen(path)) {
            delete s;
            return false;
        }
        server_ = s;
        connect(server_, &QLocalServer::newConnection, this, &WindowRegistry::onConnection);
    }
    // One window may stand under several classes (a program's application
    // entry and its main window); registering a class again replaces it.
    std::erase_if(entries_, [&](const Entry& e) {
        return e.window.isNull() || (e.window == w && e.className == className);
    });
    entries_.push_back({nextId_++, w, className, std::move(title)});
    connect(w, &QObject::destroyed, this, [this, w] { unregisterWindow(w); });
    return true;
}

void WindowRegistry::unregisterWindow(QWidget* w) {
    std::erase_if(entries_, [w](const Entry& e) { return e.window.isNull() || e.window == w; });
}

QString WindowRegistry::titleOf(const Entry& e) const {
    if (e.title) return e.title();
    return e.window ? e.window->windowTitle() : QString();
}

WindowRegistry::Entry* WindowRegistry::byId(quint32 id) {
    for (auto& e : entries_)
        if (e.id == id && e.window) return &e;
    return nullptr;
}

void WindowRegistry::onConnection() {
    while (auto* s = server_->nextPendingConnection()) {
        connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        connect(s, &QLocalSocket::readyRead, this, [this, s] {
            while (s->canReadLine()) {
                QByteArray line = s->readLine();
                line.chop(1);
                s->write(answer(line) + '\n');
                s->flush();
            }
        });
    }
}

QByteArray WindowRegistry::answer(const QByteArray& line) {
    const auto f = line.split('\t');
    const QByteArray& cmd = f.value(0);
    if (cmd == "FIND" && f.size() >= 3) {
        const QString cls = dec(f[1]), title = dec(f[2]);
        const bool all = f.size() > 3;
        QList<QByteArray> found;
        for (const auto& e : entries_) {
            if (!e.window) continue;
            const QString t = titleOf(e);
            if ((cls.isEmpty() || sameText(cls, e.className)) && (title.isEmpty() || sameText(title, t))) {
                found << QByteArray::number(e.id) + '\t' + enc(e.className) + '\t' + enc(t);
                if (!all) break;
            }
        }
        return found.isEmpty() ? QByteArray("-") : found.join('\x1f');
    }
    Entry* e = f.size() >= 2 ? byId(f[1].toUInt()) : nullptr;
    if (!e) return "-";
    QWidget* w = e->window;
    if (cmd == "ISICONIC") return w->isMinimized() ? "1" : "0";
    if (cmd == "SHOW" && f.size() >= 3)
        return raiseLocalWindow(w, f[2] == "minimize" ? ShowCommand::Minimize : ShowCommand::Normal) ? "1" : "0";
    if (cmd == "FOREGROUND") {
        if (!w->isVisible()) return "0";
        w->raise();
        w->activateWindow();
        return "1";
    }
    if (cmd == "SEND" && f.size() >= 4) {
        if (!handler_) return "0";
        return QByteArray::number(handler_(w, f[2].toUInt(), QByteArray::fromBase64(f[3])));
    }
    return "-";
}

bool raiseLocalWindow(QWidget* w, ShowCommand cmd) {
    if (!w) return false;
    if (cmd == ShowCommand::Minimize) {
        w->showMinimized();
        return true;
    }
    if (w->isMinimized())
        w->showNormal();
    else
        w->show();
    w->raise();
    w->activateWindow();
    return w->isVisible();
}

std::optional<WindowRef> findWindow(const QString& className, const QString& title) {
    auto r = query(className, title, true);
    if (r.empty()) return std::nullopt;
    return r.front();
}

std::vector<WindowRef> allWindows() { return query({}, {}, false); }

std::optional<bool> isIconic(const WindowRef& w) {
    auto r = ask(w, "ISICONIC");
    if (!r) return std::nullopt;
    return *r == "1";
}

bool showWindow(const WindowRef& w, ShowCommand cmd) {
    auto r = ask(w, "SHOW", cmd == ShowCommand::Minimize ? "minimize" : "normal");
    return r && *r == "1";
}

bool setForegroundWindow(const WindowRef& w) {
    auto r = ask(w, "FOREGROUND");
    return r && *r == "1";
}

std::optional<qint64> sendMessage(const WindowRef& w, quint32 msg, const QByteArray& data) {
    auto r = ask(w, "SEND", QByteArray::number(msg) + '\t' + data.toBase64());
    if (!r) return std::nullopt;
    return r->toLongLong();
}

}  // namespace vek::winreg
