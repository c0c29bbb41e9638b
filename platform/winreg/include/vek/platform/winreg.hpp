// The window registry: how one of the suite's programs finds a top-level
// window of another by class and title and asks it to restore itself, come
// to the front or take a message with data.
//
// Every process that registers a window listens on a local socket named after
// its process id in a private per-user folder ($XDG_RUNTIME_DIR/voice-lumo-
// windows, or a folder in the temporary directory named after the user id).
// A lookup asks each socket in turn; a socket whose process has gone is
// deleted on the way. The folder is used only when it is a real folder of our
// user with no access for anyone else, and both ends of a connection check
// that the other runs as our user (the kernel's peer credentials). One
// request, connecting included, gets 1.5 s in all, and a request or answer
// line of more than 1 MiB is dropped, so a peer that hangs, trickles or floods
// cannot hold up a lookup. Requests are single text lines of tab-separated,
// percent-encoded fields, answered by one line each:
//   FIND <class> <title>      -> <id> <class> <title>  or  "-"
//   ISICONIC <id>             -> 1 | 0 | -
//   SHOW <id> normal|minimize -> 1 | 0 | -
//   FOREGROUND <id>           -> 1 | 0 | -
//   SEND <id> <msg> <base64>  -> <result> | -
// Titles are read when asked, so a title that changes at run time is found
// under its current text. Class and title compare without regard to case, as
// the window manager of the original platform does; an empty class or title
// matches any.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class QLocalServer;
class QWidget;

namespace vek::winreg {

// A window found in some process.
struct WindowRef {
    QString socket;   // the owner's socket path
    quint32 id = 0;   // the window's number in its process
    QString className;
    QString title;
};

enum class ShowCommand { Normal, Minimize };

class WindowRegistry : public QObject {
    Q_OBJECT
public:
    static WindowRegistry& instance();

    // A message with data for a registered window; returns the result sent
    // back to the caller.
    using MessageHandler = std::function<qint64(QWidget*, quint32 msg, const QByteArray& data)>;

    // Registers a top-level window under a class name. `title` supplies the
    // title a lookup compares with (default: the window's own title).
    // Unregistered automatically when the window is destroyed. False when
    // the registry socket cannot be opened.
    bool registerWindow(QWidget* w, const QString& className,
                        std::function<QString()> title = {});
    void unregisterWindow(QWidget* w);
    void setMessageHandler(MessageHandler h) { handler_ = std::move(h); }

    // The folder of the sockets. Tests point it at a private folder before
    // the first registration.
    static QString directory();
    static void setDirectory(const QString& dir);

    QString socketPath() const;
    // Answers one request line (also used when a lookup reaches our own
    // process, which cannot wait on its own socket).
    QByteArray answer(const QByteArray& line);

private:
    WindowRegistry() = default;
    void onConnection();
    struct Entry {
        quint32 id;
        QPointer<QWidget> window;
        QString className;
        std::function<QString()> title;
    };
    QString titleOf(const Entry& e) const;
    Entry* byId(quint32 id);

    QLocalServer* server_ = nullptr;
    std::vector<Entry> entries_;
    quint32 nextId_ = 1;
    MessageHandler handler_;
};

// First window of that class and title, over all processes of the user.
std::optional<WindowRef> findWindow(const QString& className, const QString& title);
// Every registered window (in no particular order).
std::vector<WindowRef> allWindows();
// nullopt when the window is gone.
std::optional<bool> isIconic(const WindowRef& w);
bool showWindow(const WindowRef& w, ShowCommand cmd);
bool setForegroundWindow(const WindowRef& w);
std::optional<qint64> sendMessage(const WindowRef& w, quint32 msg, const QByteArray& data);

// Brings a window of this process to the front: shows it normally when it is
// minimised, otherwise raises and activates it. Returns whether it is now
// visible and active (as far as the window system tells).
bool raiseLocalWindow(QWidget* w, ShowCommand cmd = ShowCommand::Normal);

}  // namespace vek::winreg
