// Starting programs and calling xdg-email, with stand-in programs on PATH.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <fstream>

#include "imail_env.hpp"
#include "vek/platform/vekimail.hpp"

using namespace vek::imail;
using namespace imailtest;

TEST(CommandLine, SplitsLikeTheOriginalPlatform) {
    EXPECT_EQ(splitCommandLine("thunderbird"), std::vector<std::string>{"thunderbird"});
    EXPECT_EQ(splitCommandLine("  evolution   --component=mail "),
              (std::vector<std::string>{"evolution", "--component=mail"}));
    EXPECT_EQ(splitCommandLine("\"/opt/My Mail/mail\" -compose \"a b\"c"),
              (std::vector<std::string>{"/opt/My Mail/mail", "-compose", "a bc"}));
    EXPECT_EQ(splitCommandLine("say \\\"hi\\\" \"\""), (std::vector<std::string>{"say", "\"hi\"", ""}));
    EXPECT_TRUE(splitCommandLine("").empty());
    EXPECT_TRUE(splitCommandLine(" \t ").empty());
}

TEST(StartPrograms, FoundOnPathStartedDetachedAndMissingReported) {
    Desktop d;
    d.setPath(d.bin.string());
    const fs::path out = d.root / "args.txt";
    d.script("thunderbird", "printf '%s\\n' \"$@\" > '" + out.string() + "'");
    EXPECT_EQ(findOnPath("thunderbird"), std::optional<std::string>((d.bin / "thunderbird").string()));
    EXPECT_FALSE(findOnPath("no-such-mailer"));
    std::ofstream(d.bin / "plain") << "not executable";
    EXPECT_FALSE(findOnPath("plain"));

    // The design's Netscape choice opens the Linux mail program with "-mail".
    EXPECT_GT(shellOpenProgram("netscape.exe", "-mail"), 32);
    EXPECT_EQ(waitForFile(out, 5000), "-mail\n");
    fs::remove(out);

    EXPECT_GT(startCommandLine("thunderbird -compose \"to=a b\""), 31);
    EXPECT_EQ(waitForFile(out, 5000), "-compose\nto=a b\n");

    EXPECT_EQ(startCommandLine("no-such-mailer --x"), 2);
    EXPECT_EQ(startCommandLine(""), 0);
    EXPECT_LE(shellOpenProgram("no-such.exe", ""), 32);
    fs::remove(d.bin / "thunderbird");
    EXPECT_LE(shellOpenProgram("netscape.exe", "-mail"), 32);
}

TEST(SendIMail, ResultCodes) {
    Desktop d;
    const fs::path file = d.root / "Voice.sc4";
    std::ofstream(file) << "x";
    d.setPath(d.bin.string());  // no xdg-email at all
    EXPECT_EQ(sendIMail(file.c_str(), ""), kNoXdgEmail);

    const fs::path log = d.root / "xdg.txt";
    d.script("xdg-email", "printf '%s\\n' \"$@\" > '" + log.string() + "'\nexit 0");
    EXPECT_EQ(sendIMail((d.root / "missing.sc4").c_str(), ""), kNoSuchFile);
    EXPECT_EQ(sendIMail(d.root.c_str(), ""), kNoSuchFile);  // a folder
    EXPECT_EQ(sendIMail(nullptr, ""), kNoSuchFile);
    EXPECT_EQ(sendIMail(file.c_str(), ""), 0);
    EXPECT_EQ(slurp(log), "--attach\n" + file.string() + "\n");

    d.script("xdg-email", "exit 3");  // "no method available"
    EXPECT_EQ(sendIMail(file.c_str(), ""), kFailedBase + 3);
    d.script("xdg-email", "kill -9 $$");
    EXPECT_EQ(sendIMail(file.c_str(), ""), kFailedBase + 0xFF);
    // A client that keeps xdg-email waiting has the message open.
    d.script("xdg-email", "exec /bin/sleep 5");
    EXPECT_EQ(sendIMailWithin(file.c_str(), 200), 0);
}
