// Fuzz target: any bytes as a line of the window registry, read both as a
// request (what another process may send to our socket) and as a FIND reply
// (what another process may answer). A parsed request must come out the same
// when the client's own line for it is parsed again; a reply, once parsed,
// must survive being written and parsed again; no line we write may hold a
// line end; and any two texts must cross the protocol unchanged as a class
// name and a title.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "vek/platform/winreg_protocol.hpp"

namespace {

using namespace vek::winreg::protocol;

void singleLine(const QByteArray& line) {
    if (line.contains('\n') || line.contains('\r')) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray line(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const Request r = parseRequest(line);
    if (r.command == Request::Command::Find) {
        const QByteArray again = findRequest(r.className, r.title, !r.all);
        singleLine(again);
        const Request s = parseRequest(again);
        if (s.command != Request::Command::Find || s.className != r.className || s.title != r.title || s.all != r.all)
            std::abort();
    } else if (r.command == Request::Command::Show) {
        if (r.minimize != (line.split('\t').value(2) == "minimize")) std::abort();
    } else if (r.command == Request::Command::Unknown) {
        if (r.id != 0 && !line.contains('\t')) std::abort();
    }

    const QList<FoundWindow> found = parseFindReply(line);
    const QByteArray reply = findReply(found);
    singleLine(reply);
    if (parseFindReply(reply) != found) std::abort();
    if (found.isEmpty() != (reply == "-")) std::abort();

    // The input's two halves as a class name and a title.
    const QString a = QString::fromUtf8(line.left(line.size() / 2));
    const QString b = QString::fromUtf8(line.mid(line.size() / 2));
    const QByteArray request = findRequest(a, b, true);
    singleLine(request);
    const Request q = parseRequest(request);
    if (q.command != Request::Command::Find || q.className != a || q.title != b || q.all) std::abort();
    const QList<FoundWindow> one{{static_cast<quint32>(size), a, b}};
    if (parseFindReply(findReply(one)) != one) std::abort();
    return 0;
}
