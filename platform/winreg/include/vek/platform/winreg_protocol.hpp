// The window registry's line protocol (see winreg.hpp): requests and the
// FIND reply, as text lines of tab-separated fields. Class names and titles
// travel percent-encoded, so that no tab, record separator or line end of a
// title can split a field or a line. Qt Core only.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace vek::winreg::protocol {

QByteArray encodeField(const QString& s);
QString decodeField(const QByteArray& b);

// One request line, parsed. A line of an unknown command or of too few
// fields parses as Unknown (answered "-").
struct Request {
    enum class Command { Unknown, Find, IsIconic, Show, Foreground, Send };
    Command command = Command::Unknown;
    // FIND: the class and title asked for (empty: any), and whether every
    // window is wanted or the first only.
    QString className, title;
    bool all = false;
    // The other commands: the window's number, SHOW's "minimize", SEND's
    // message and data.
    quint32 id = 0;
    bool minimize = false;
    quint32 message = 0;
    QByteArray data;
};
Request parseRequest(const QByteArray& line);

QByteArray findRequest(const QString& className, const QString& title, bool firstOnly);

// One window of a FIND reply.
struct FoundWindow {
    quint32 id = 0;
    QString className, title;
    bool operator==(const FoundWindow&) const = default;
};
// Records separated by 0x1F; "-" when nothing was found.
QByteArray findReply(const QList<FoundWindow>& found);
// The well-formed records of a reply (three fields each); others are skipped.
QList<FoundWindow> parseFindReply(const QByteArray& reply);

}  // namespace vek::winreg::protocol
