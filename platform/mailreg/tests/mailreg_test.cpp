// The mail-client store: the seeded defaults, lookups, selecting a client,
// missing keys and a store that cannot be written.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "vek/platform/ini.hpp"
#include "vek/platform/mailreg.hpp"

namespace fs = std::filesystem;
using namespace vek::mailreg;

namespace {

struct Dir {
    fs::path root;
    Dir() {
        std::string t = (fs::temp_directory_path() / "vek-mailreg-XXXXXX").string();
        if (!::mkdtemp(t.data())) throw std::runtime_error("mkdtemp");
        root = t;
    }
    ~Dir() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
};

}  // namespace

TEST(MailStore, DefaultPathFollowsXdgConfigHome) {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    ::setenv("XDG_CONFIG_HOME", "/cfg/x", 1);
    EXPECT_EQ(Store::defaultPath(), "/cfg/x/voice-lumo/mailclients.reg");
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("HOME", "/home/u", 1);
    EXPECT_EQ(Store::defaultPath(), "/home/u/.config/voice-lumo/mailclients.reg");
    if (old) ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
}

TEST(MailStore, SeededDefaultsFindEveryClient) {
    Dir d;
    const Store store((d.root / "sub" / "mailclients.reg").string());
    EXPECT_FALSE(store.keyExists(kMailKey));
    ASSERT_TRUE(store.seedIfMissing());
    EXPECT_EQ(store.defaultValue(kMailKey), std::optional<std::string>("Outlook Express"));
    const char* commands[] = {"evolution", "thunderbird", "evolution --component=mail", "xdg-open mailto:"};
    for (int i = 0; i < 4; ++i) {
        std::string cmd = "unchanged";
        EXPECT_TRUE(findMailClient(store, cmd, i, false));
        EXPECT_EQ(cmd, "unchanged");  // not fetched when not wanted
        EXPECT_TRUE(findMailClient(store, cmd, i, true));
        EXPECT_EQ(cmd, commands[i]);
    }
    std::string cmd;
    EXPECT_FALSE(findMailClient(store, cmd, 4, true));
    EXPECT_FALSE(findMailClient(store, cmd, -1, false));
    // The registry paths, as sections of the file.
    vek::ini::IniFile f;
    ASSERT_TRUE(f.load(store.path()));
    EXPECT_EQ(f.value("HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail\\Internet Mail and News\\shell\\open\\command", "@"),
              std::optional<std::string>("thunderbird"));
    // A second seeding keeps what is there.
    ASSERT_TRUE(store.setDefaultValue(kMailKey, "Exchange"));
    ASSERT_TRUE(store.seedIfMissing());
    EXPECT_EQ(store.defaultValue(kMailKey), std::optional<std::string>("Exchange"));
}

TEST(MailStore, MissingKeysAndCaseOfPaths) {
    Dir d;
    const fs::path p = d.root / "m.reg";
    std::ofstream(p) << "[HKEY_LOCAL_MACHINE\\software\\clients\\mail]\n@=Exchange\n"
                        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail\\Exchange]\n"
                        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Clients\\Mail\\Outlook Express]\n@=x\n";
    const Store store(p.string());
    std::string cmd = "before";
    EXPECT_TRUE(findMailClient(store, cmd, 0, false));  // key paths ignore case
    EXPECT_FALSE(findMailClient(store, cmd, 0, true));  // no command key
    EXPECT_FALSE(findMailClient(store, cmd, 1, false));  // no client key
    EXPECT_FALSE(findMailClient(store, cmd, 3, true));
    EXPECT_EQ(selectMailClient(store, 1), SelectResult::NotFound);
    EXPECT_EQ(selectMailClient(store, 0), SelectResult::Selected);
    EXPECT_EQ(selectMailClient(store, 3), SelectResult::Selected);
    EXPECT_EQ(store.defaultValue(kMailKey), std::optional<std::string>("Outlook Express"));

    const Store none((d.root / "none.reg").string());
    EXPECT_FALSE(findMailClient(none, cmd, 3, false));
    EXPECT_EQ(selectMailClient(none, 3), SelectResult::NotFound);
    EXPECT_FALSE(fs::exists(d.root / "none.reg"));
}

TEST(MailStore, SelectWritesOnlyWhenTheDefaultDiffers) {
    Dir d;
    const Store store((d.root / "m.reg").string());
    ASSERT_TRUE(store.seedIfMissing());
    // Already the default (exact comparison): the file is not rewritten.
    const auto before = fs::last_write_time(store.path());
    const std::string text = [&] {
        std::ifstream in(store.path());
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    EXPECT_EQ(selectMailClient(store, 3), SelectResult::Selected);
    EXPECT_EQ(fs::last_write_time(store.path()), before);
    // Case differs: written.
    ASSERT_TRUE(store.setDefaultValue(kMailKey, "outlook express"));
    EXPECT_EQ(selectMailClient(store, 3), SelectResult::Selected);
    EXPECT_EQ(store.defaultValue(kMailKey), std::optional<std::string>("Outlook Express"));
    EXPECT_EQ(selectMailClient(store, 2), SelectResult::Selected);
    EXPECT_EQ(store.defaultValue(kMailKey), std::optional<std::string>("Microsoft Outlook"));
    EXPECT_FALSE(text.empty());
}

TEST(MailStore, ReadOnlyStoreStillFindsButCannotSelect) {
    Dir d;
    const fs::path dir = d.root / "ro";
    fs::create_directory(dir);
    const Store store((dir / "m.reg").string());
    ASSERT_TRUE(store.seedIfMissing());
    ::chmod(dir.c_str(), 0555);
    ::chmod(store.path().c_str(), 0444);
    ::chmod(d.root.c_str(), 0755);
    // Root writes through permissions: the lookups then run in a child
    // that has given up root.
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(10);
        std::string cmd;
        if (!findMailClient(store, cmd, 1, true) || cmd != "thunderbird") ::_exit(11);
        if (selectMailClient(store, 1) != SelectResult::WriteFailed) ::_exit(12);
        if (store.defaultValue(kMailKey) != std::optional<std::string>("Outlook Express")) ::_exit(13);
        if (selectMailClient(store, 3) != SelectResult::Selected) ::_exit(14);  // nothing to write
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ::chmod(dir.c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 10) GTEST_SKIP() << "cannot drop root here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(failedToSetDataMessage(), "Failed to set data for ''");
    EXPECT_EQ(failedToSetDataMessage("MailProg"), "Failed to set data for 'MailProg'");
}
