// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/winreg.hpp"
#include "vek/platform/winreg_protocol.hpp"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QUrl>
#include <QWidget>

#include <algorithm>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vek::winreg {
namespace {

// One request to another process, from connecting to the end of the answer,
// takes at most this long: a program that hangs or trickles its answer byte
// by byte cannot hold up a lookup (the start-up check of a second instance).
constexpr int kRequestMs = 1500;
// Request and answer lines are short (a title, a file name in base64, the
// list of a process's windows); a longer one is not waited for or buffered.
constexpr qsizetype kMaxLine = 1 << 20;
QString g_directory;

bool sameText(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

int msLeft(const QDeadlineTimer& deadline) {
    return static_cast<int>(std::max<qint64>(0, deadline.remainingTime()));
}

// Whether the process at the other end of a connected local socket runs as
// our user (the kernel's record of its credentials, not anything it says).
bool peerIsOurUser(qintptr fd) {
#if defined(SO_PEERCRED)
    struct ucred cred {};
    socklen_t len = sizeof cred;
    if (::getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || len != sizeof cred)
        return false;
    return cred.uid == ::getuid();
#else
    uid_t uid = 0;
    gid_t gid = 0;
    return ::getpeereid(static_cast<int>(fd), &uid, &gid) == 0 && uid == ::getuid();
#endif
}

// One request to one process. nullopt when nobody answers in time, the
// answer is too long, or the socket is served by another user; a socket
// whose owner has gone away is removed so that later lookups skip it.
std::optional<QByteArray> request(const QString& socketPath, const QByteArray& line) {
    auto& reg = WindowRegistry::instance();
    if (socketPath == reg.socketPath()) return reg.answer(line);
    const QDeadlineTimer deadline(kRequestMs);
    QLocalSocket s;
    s.connectToServer(socketPath);
    if (!s.waitForConnected(msLeft(deadline))) {
        const auto err = s.error();
        if (err == QLocalSocket::ConnectionRefusedError || err == QLocalSocket::ServerNotFoundError)
            QFile::remove(socketPath);
        return std::nullopt;
    }
    if (!peerIsOurUser(s.socketDescriptor())) {
        s.abort();
        return std::nullopt;
    }
    s.write(line + '\n');
    while (s.bytesToWrite() > 0)
        if (!s.waitForBytesWritten(msLeft(deadline))) return std::nullopt;
    QByteArray reply;
    qsizetype nl;
    while ((nl = reply.indexOf('\n')) < 0) {
        if (reply.size() > kMaxLine || !s.waitForReadyRead(msLeft(deadline))) {
            s.abort();
            return std::nullopt;
        }
        reply += s.readAll();
    }
    if (nl > kMaxLine) {
        s.abort();
        return std::nullopt;
    }
    s.disconnectFromServer();
    return reply.left(nl);
}

// The registry folder is trusted only when it is a real folder (no link) of
// our own user that nobody else may enter: a folder another user made in the
// shared temporary directory, or one others may write into, could offer
// sockets that answer for our windows, or take ours.
bool ownFolder(const QString& dir, bool privateOnly = true) {
    struct stat st {};
    if (::lstat(QFile::encodeName(dir).constData(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (!privateOnly || (st.st_mode & 077) == 0);
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
    const QByteArray line = protocol::findRequest(className, title, firstOnly);
    for (const auto& sock : sockets()) {
        auto reply = request(sock, line);
        if (!reply || *reply == "-") continue;
        for (const auto& found : protocol::parseFindReply(*reply)) {
            out.push_back({sock, found.id, found.className, found.title});
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
        if (!ownFolder(dir, false)) return false;
        // Private to the user: other users must not raise our windows.
        (void)::chmod(QFile::encodeName(dir).constData(), 0700);
        if (!ownFolder(dir)) return false;
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
        // Only processes of our user may ask; the folder's and the socket's
        // modes say so too, but they can be changed under us.
        if (!peerIsOurUser(s->socketDescriptor())) {
            s->abort();
            s->deleteLater();
            continue;
        }
        connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        connect(s, &QLocalSocket::readyRead, this, [this, s] {
            // A line longer than any request, ended or not, comes from no
            // client of ours: it is neither answered nor buffered further.
            while (s->canReadLine()) {
                QByteArray line = s->readLine(kMaxLine + 2);
                if (!line.endsWith('\n')) {
                    s->abort();
                    return;
                }
                line.chop(1);
                s->write(answer(line) + '\n');
                s->flush();
            }
            if (s->bytesAvailable() > kMaxLine) s->abort();
        });
    }
}

QByteArray WindowRegistry::answer(const QByteArray& line) {
    using Command = protocol::Request::Command;
    const protocol::Request r = protocol::parseRequest(line);
    if (r.command == Command::Find) {
        QList<protocol::FoundWindow> found;
        for (const auto& e : entries_) {
            if (!e.window) continue;
            const QString t = titleOf(e);
            if ((r.className.isEmpty() || sameText(r.className, e.className)) && (r.title.isEmpty() || sameText(r.title, t))) {
                found.push_back({e.id, e.className, t});
                if (!r.all) break;
            }
        }
        return protocol::findReply(found);
    }
    Entry* e = r.command == Command::Unknown ? nullptr : byId(r.id);
    if (!e) return "-";
    QWidget* w = e->window;
    switch (r.command) {
        case Command::IsIconic: return w->isMinimized() ? "1" : "0";
        case Command::Show:
            return raiseLocalWindow(w, r.minimize ? ShowCommand::Minimize : ShowCommand::Normal) ? "1" : "0";
        case Command::Foreground:
            if (!w->isVisible()) return "0";
            w->raise();
            w->activateWindow();
            return "1";
        case Command::Send:
            if (!handler_) return "0";
            return QByteArray::number(handler_(w, r.message, r.data));
        case Command::Find:
        case Command::Unknown: break;
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
