// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/winreg_protocol.hpp"

#include <QUrl>

namespace vek::winreg::protocol {

QByteArray encodeField(const QString& s) { return QUrl::toPercentEncoding(s); }
QString decodeField(const QByteArray& b) { return QUrl::fromPercentEncoding(b); }

Request parseRequest(const QByteArray& line) {
    const auto f = line.split('\t');
    const QByteArray& cmd = f.value(0);
    Request r;
    if (cmd == "FIND") {
        if (f.size() < 3) return r;
        r.command = Request::Command::Find;
        r.className = decodeField(f[1]);
        r.title = decodeField(f[2]);
        r.all = f.size() > 3;
        return r;
    }
    if (f.size() < 2) return r;
    r.id = f[1].toUInt();
    if (cmd == "ISICONIC") {
        r.command = Request::Command::IsIconic;
    } else if (cmd == "SHOW" && f.size() >= 3) {
        r.command = Request::Command::Show;
        r.minimize = f[2] == "minimize";
    } else if (cmd == "FOREGROUND") {
        r.command = Request::Command::Foreground;
    } else if (cmd == "SEND" && f.size() >= 4) {
        r.command = Request::Command::Send;
        r.message = f[2].toUInt();
        r.data = QByteArray::fromBase64(f[3]);
    }
    return r;
}

QByteArray findRequest(const QString& className, const QString& title, bool firstOnly) {
    return "FIND\t" + encodeField(className) + '\t' + encodeField(title) + (firstOnly ? "" : "\tall");
}

QByteArray findReply(const QList<FoundWindow>& found) {
    if (found.isEmpty()) return "-";
    QList<QByteArray> records;
    for (const auto& w : found)
        records << QByteArray::number(w.id) + '\t' + encodeField(w.className) + '\t' + encodeField(w.title);
    return records.join('\x1f');
}

QList<FoundWindow> parseFindReply(const QByteArray& reply) {
    QList<FoundWindow> out;
    if (reply == "-") return out;
    for (const auto& rec : reply.split('\x1f')) {
        const auto f = rec.split('\t');
        if (f.size() != 3) continue;
        out.push_back({f[0].toUInt(), decodeField(f[1]), decodeField(f[2])});
    }
    return out;
}

}  // namespace vek::winreg::protocol
