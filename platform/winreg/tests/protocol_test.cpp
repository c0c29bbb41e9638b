// The window registry's lines: what each request parses to, and the texts a
// title may hold crossing the protocol unchanged.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/winreg_protocol.hpp"

#include <gtest/gtest.h>

using namespace vek::winreg::protocol;
using Command = Request::Command;

TEST(WinregProtocol, RequestsParse) {
    Request r = parseRequest("FIND\tVekShellMain\tvoice%20lumo%20manager");
    EXPECT_EQ(r.command, Command::Find);
    EXPECT_EQ(r.className, "VekShellMain");
    EXPECT_EQ(r.title, "voice lumo manager");
    EXPECT_FALSE(r.all);
    EXPECT_TRUE(parseRequest("FIND\t\t\tall").all);

    r = parseRequest("SHOW\t7\tminimize");
    EXPECT_EQ(r.command, Command::Show);
    EXPECT_EQ(r.id, 7u);
    EXPECT_TRUE(r.minimize);
    EXPECT_FALSE(parseRequest("SHOW\t7\tnormal").minimize);

    r = parseRequest("SEND\t3\t74\t" + QByteArray("/home/u/memo.sc4").toBase64());
    EXPECT_EQ(r.command, Command::Send);
    EXPECT_EQ(r.id, 3u);
    EXPECT_EQ(r.message, 74u);
    EXPECT_EQ(r.data, "/home/u/memo.sc4");

    EXPECT_EQ(parseRequest("ISICONIC\t2").command, Command::IsIconic);
    EXPECT_EQ(parseRequest("FOREGROUND\t2").command, Command::Foreground);
}

TEST(WinregProtocol, ShortOrUnknownLinesAreUnknown) {
    for (const char* line : {"", "FIND", "FIND\tonly-class", "SHOW\t1", "SEND\t1\t2", "ISICONIC", "RAISE\t1",
                             "find\ta\tb"})
        EXPECT_EQ(parseRequest(line).command, Command::Unknown) << line;
}

TEST(WinregProtocol, TitlesWithSeparatorsCrossUnchanged) {
    const QString title = QString::fromUtf8("a\tb\x1f" "c\nd\re %41 \xE2\x80\x9C" "memo\xE2\x80\x9D");
    const QByteArray line = findRequest("Cls\t", title, false);
    EXPECT_FALSE(line.contains('\n'));
    const Request r = parseRequest(line);
    EXPECT_EQ(r.className, "Cls\t");
    EXPECT_EQ(r.title, title);
    EXPECT_TRUE(r.all);

    const QList<FoundWindow> found{{1, "Cls", title}, {42, "", ""}};
    const QByteArray reply = findReply(found);
    EXPECT_FALSE(reply.contains('\n'));
    EXPECT_EQ(parseFindReply(reply), found);
    EXPECT_EQ(findReply({}), "-");
    EXPECT_TRUE(parseFindReply("-").isEmpty());
    // A malformed record among good ones is skipped, the others kept.
    EXPECT_EQ(parseFindReply("1\tA\tB\x1fjunk\x1f" "2\tC\tD").size(), 2);
}
