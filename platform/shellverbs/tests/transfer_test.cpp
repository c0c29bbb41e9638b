// Cut, copy and paste under the faults a user meets: a recorder drive that is
// nearly full (a small tmpfs), moves between two real volumes (that tmpfs and
// the temporary folder), replacing entries of another kind, a trash that
// refuses, and special files inside a tree.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/shellverbs.hpp"
#include "vek/platform/transfer.hpp"
#include "vek/testsupport/qt.hpp"
#include "vek/testsupport/tmpfs.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <random>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vek::shell;

namespace {

// The sandboxed home of the shared Qt test main (HOME, and XDG_DATA_HOME as
// its "data" folder): the trash lives here.
const QString& homePath() { return vek::testsupport::sandboxHome(); }

QByteArray randomBytes(int n, unsigned seed) {
    std::mt19937 rng(seed);
    QByteArray b(n, '\0');
    for (auto& c : b) c = static_cast<char>(rng());
    return b;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// Every entry of a folder, hidden ones included (staging names are hidden).
QStringList entries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

struct stat statOf(const QString& path) {
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

// A small volume of its own, mounted for one test.
class Tmpfs {
public:
    explicit Tmpfs(const char* size)
        : m_dir(QDir::tempPath() + "/vek-volume-XXXXXX"),
          m_mount(QFile::encodeName(m_dir.path()).toStdString(), size, "mode=0755") {}
    bool mounted() const { return m_mount.mounted(); }
    std::string reason() const { return m_mount.skipReason(); }
    QString path() const { return m_dir.path() + '/'; }

private:
    QTemporaryDir m_dir;  // made before the mount, removed after it is detached
    vek::testsupport::TmpfsMount m_mount;
};

#define REQUIRE_MOUNT(v) \
    if (!(v).mounted()) GTEST_SKIP() << (v).reason()

class Transfer : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = std::make_unique<QTemporaryDir>(homePath() + "/work-XXXXXX");
        ASSERT_TRUE(m_dir->isValid());
        home = m_dir->path() + '/';
        setQuestionHandler([this](QWidget*, const QString&, const QString& text) {
            questions << text;
            return answer;
        });
        setNoticeHandler([this](QWidget*, const QString& title, const QString& text) {
            notices << title + ": " + text;
        });
    }
    void TearDown() override {
        setQuestionHandler({});
        setNoticeHandler({});
    }
    QStringList trashed() const { return entries(homePath() + "/data/Trash/files"); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString home;  // on the temporary folder's volume
    QStringList questions, notices;
    bool answer = true;
};

}  // namespace

// A recording cut and pasted onto a drive with too little room: the copy
// fails on a write, the partial copy is removed, the original stays whole.
TEST_F(Transfer, MoveOntoAFullVolumeKeepsTheOriginal) {
    Tmpfs drive("256k");
    REQUIRE_MOUNT(drive);
    const QByteArray voice = randomBytes(1 << 20, 1);
    writeFile(home + "MEMO.SC4", voice);
    QString err;
    const auto written = pasteFiles({home + "MEMO.SC4"}, drive.path(), true, nullptr, &err);
    EXPECT_TRUE(written.isEmpty());
    EXPECT_TRUE(err.contains("MEMO.SC4")) << err.toStdString();
    EXPECT_TRUE(err.contains(QString::fromLocal8Bit(std::strerror(ENOSPC)))) << err.toStdString();
    EXPECT_TRUE(err.contains("original is kept")) << err.toStdString();
    // The failure names the entry as the user knows it, not its staging name.
    EXPECT_TRUE(err.contains(drive.path() + "MEMO.SC4:")) << err.toStdString();
    EXPECT_FALSE(err.contains(".vek-paste")) << err.toStdString();
    EXPECT_EQ(readFile(home + "MEMO.SC4"), voice);
    EXPECT_TRUE(entries(drive.path()).isEmpty()) << entries(drive.path()).join(' ').toStdString();

    // A copy onto the full drive leaves nothing behind either, and a folder
    // tree whose second file no longer fits is taken back as a whole.
    err.clear();
    EXPECT_TRUE(pasteFiles({home + "MEMO.SC4"}, drive.path(), false, nullptr, &err).isEmpty());
    EXPECT_FALSE(err.isEmpty());
    EXPECT_TRUE(entries(drive.path()).isEmpty());
    QDir().mkpath(home + "Day/Morning");
    writeFile(home + "Day/Morning/a.sc4", randomBytes(100 * 1024, 2));
    writeFile(home + "Day/Morning/b.sc4", randomBytes(200 * 1024, 3));
    err.clear();
    EXPECT_TRUE(pasteFiles({home + "Day"}, drive.path(), true, nullptr, &err).isEmpty());
    EXPECT_TRUE(err.contains("Day")) << err.toStdString();
    EXPECT_TRUE(entries(drive.path()).isEmpty());
    EXPECT_EQ(readFile(home + "Day/Morning/a.sc4"), randomBytes(100 * 1024, 2));
    EXPECT_EQ(readFile(home + "Day/Morning/b.sc4"), randomBytes(200 * 1024, 3));
}

// The paste verb tells the user through a warning box, and a cut whose paste
// failed stays on the clipboard for another try.
TEST_F(Transfer, APasteThatFailsIsReportedAndTheCutKept) {
    Tmpfs drive("64k");
    REQUIRE_MOUNT(drive);
    writeFile(home + "LONG.SC4", randomBytes(512 * 1024, 4));
    writeFile(home + "SHORT.SC4", randomBytes(8 * 1024, 5));
    copyToClipboard({home + "LONG.SC4", home + "SHORT.SC4"}, true);
    EXPECT_FALSE(invokeVerb("paste", {drive.path()}, nullptr));
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices.front().startsWith("Paste: Cannot move 'LONG.SC4'")) << notices.front().toStdString();
    EXPECT_TRUE(notices.front().contains("original is kept")) << notices.front().toStdString();
    // The short one moved; the long one is still there and still cut.
    EXPECT_EQ(readFile(drive.path() + "SHORT.SC4"), randomBytes(8 * 1024, 5));
    EXPECT_FALSE(QFileInfo::exists(home + "SHORT.SC4"));
    EXPECT_EQ(clipboardFiles().paths, QStringList{home + "LONG.SC4"});
    EXPECT_TRUE(clipboardFiles().cut);
    EXPECT_EQ(readFile(home + "LONG.SC4"), randomBytes(512 * 1024, 4));
}

// Moves between two real volumes, both ways, of a file and of a tree with a
// subfolder, a link and a read-only file: everything arrives with its bytes,
// mode and date, and the source is gone only afterwards.
TEST_F(Transfer, MovesAcrossVolumesArriveWhole) {
    Tmpfs drive("8m");
    REQUIRE_MOUNT(drive);
    QDir().mkpath(home + "Trip/Day 1");
    const QByteArray a = randomBytes(300000, 5), b = randomBytes(70001, 6);
    writeFile(home + "Trip/Day 1/a.sc4", a);
    writeFile(home + "Trip/b.wav", b);
    ASSERT_EQ(::chmod(QFile::encodeName(home + "Trip/b.wav").constData(), 0444), 0);
    ASSERT_TRUE(QFile::link("Day 1/a.sc4", home + "Trip/latest"));
    const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(home + "Trip/Day 1/a.sc4").constData(), old, 0), 0);
    ASSERT_NE(statOf(home + "Trip").st_dev, statOf(drive.path()).st_dev);

    QString err;
    EXPECT_EQ(pasteFiles({home + "Trip"}, drive.path(), true, nullptr, &err), QStringList{drive.path() + "Trip"});
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(home + "Trip"));
    EXPECT_EQ(readFile(drive.path() + "Trip/Day 1/a.sc4"), a);
    EXPECT_EQ(readFile(drive.path() + "Trip/b.wav"), b);
    EXPECT_EQ(statOf(drive.path() + "Trip/b.wav").st_mode & 0777, 0444u);
    EXPECT_EQ(statOf(drive.path() + "Trip/Day 1/a.sc4").st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(QFileInfo(drive.path() + "Trip/latest").symLinkTarget(), drive.path() + "Trip/Day 1/a.sc4");
    EXPECT_EQ(entries(drive.path()), QStringList{"Trip"});  // no staging name left

    // And back, as a single file.
    err.clear();
    EXPECT_EQ(pasteFiles({drive.path() + "Trip/Day 1/a.sc4"}, home, true, nullptr, &err),
              QStringList{home + "a.sc4"});
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
    EXPECT_EQ(readFile(home + "a.sc4"), a);
    EXPECT_EQ(statOf(home + "a.sc4").st_mtim.tv_sec, 1000000000);
    EXPECT_FALSE(QFileInfo::exists(drive.path() + "Trip/Day 1/a.sc4"));
}

// Within one volume a move is a rename: the file keeps its inode (no copy
// is made), with and without an entry to replace.
TEST_F(Transfer, MovesWithinAVolumeAreRenames) {
    QDir().mkpath(home + "to");
    writeFile(home + "m.sc4", "voice");
    const ino_t ino = statOf(home + "m.sc4").st_ino;
    QString err;
    EXPECT_EQ(pasteFiles({home + "m.sc4"}, home + "to", true, nullptr, &err), QStringList{home + "to/m.sc4"});
    EXPECT_EQ(statOf(home + "to/m.sc4").st_ino, ino);
    writeFile(home + "m.sc4", "newer voice");
    const ino_t newer = statOf(home + "m.sc4").st_ino;
    answer = true;
    EXPECT_EQ(pasteFiles({home + "m.sc4"}, home + "to", true, nullptr, &err), QStringList{home + "to/m.sc4"});
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
    EXPECT_EQ(statOf(home + "to/m.sc4").st_ino, newer);
    EXPECT_EQ(readFile(home + "to/m.sc4"), "newer voice");
    EXPECT_EQ(entries(home + "to"), QStringList{"m.sc4"});
}

// A replaced file goes to the trash, and only once the new one is complete:
// when the new one does not fit, the old one stays in place and untouched.
TEST_F(Transfer, ReplacingKeepsTheOldEntryUntilTheNewOneIsComplete) {
    Tmpfs drive("256k");
    REQUIRE_MOUNT(drive);
    const QByteArray oldBytes = randomBytes(100 * 1024, 7);
    writeFile(drive.path() + "A.SC4", oldBytes);
    writeFile(home + "A.SC4", randomBytes(200 * 1024, 8));  // fits only once the old one is gone
    answer = true;
    QString err;
    for (bool cut : {false, true}) {
        err.clear();
        EXPECT_TRUE(pasteFiles({home + "A.SC4"}, drive.path(), cut, nullptr, &err).isEmpty());
        EXPECT_FALSE(err.isEmpty());
        EXPECT_EQ(readFile(drive.path() + "A.SC4"), oldBytes);
        EXPECT_EQ(entries(drive.path()), QStringList{"A.SC4"});
        EXPECT_EQ(readFile(home + "A.SC4"), randomBytes(200 * 1024, 8));
    }
    ASSERT_EQ(questions.size(), 2);
    EXPECT_TRUE(questions.front().startsWith("This folder already contains a file named 'A.SC4'."));

    // With room enough the old one goes to the volume's own trash folder.
    writeFile(drive.path() + "B.SC4", "old b");
    writeFile(home + "B.SC4", "new b");
    err.clear();
    EXPECT_EQ(pasteFiles({home + "B.SC4"}, drive.path(), false, nullptr, &err), QStringList{drive.path() + "B.SC4"});
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
    EXPECT_EQ(readFile(drive.path() + "B.SC4"), "new b");
    const QString volumeTrash = drive.path() + QStringLiteral(".Trash-%1/files/").arg(::getuid());
    EXPECT_EQ(entries(volumeTrash), QStringList{"B.SC4"});
    EXPECT_EQ(readFile(volumeTrash + "B.SC4"), "old b");
}

// A file never replaces a folder (or a folder a file) on a question about
// "an item": the question says which is which, "no" keeps everything, and
// "yes" puts the whole replaced tree into the trash, restorable.
TEST_F(Transfer, FilesAndFoldersReplaceEachOtherOnlyWhenAskedSo) {
    QDir().mkpath(home + "src/memo/inner");
    QDir().mkpath(home + "dst/memo/deep");
    writeFile(home + "dst/memo/deep/keep.sc4", "years of memos");
    writeFile(home + "src/memo/inner/x.sc4", "folder content");
    QDir().mkpath(home + "src2");
    writeFile(home + "src2/memo", "file");

    answer = false;
    QString err;
    EXPECT_TRUE(pasteFiles({home + "src2/memo"}, home + "dst", false, nullptr, &err).isEmpty());
    ASSERT_EQ(questions.size(), 1);
    EXPECT_EQ(questions[0], "This folder already contains a folder named 'memo'.\r"
                            "Would you like to replace that folder and everything in it with the file 'memo'? "
                            "The folder goes to the trash.");
    EXPECT_EQ(readFile(home + "dst/memo/deep/keep.sc4"), "years of memos");

    answer = true;
    EXPECT_EQ(pasteFiles({home + "src2/memo"}, home + "dst", false, nullptr, &err), QStringList{home + "dst/memo"});
    EXPECT_EQ(readFile(home + "dst/memo"), "file");
    ASSERT_TRUE(trashed().contains("memo")) << trashed().join(' ').toStdString();
    EXPECT_EQ(readFile(homePath() + "/data/Trash/files/memo/deep/keep.sc4"), "years of memos");

    // The reverse: the folder "memo" over the file now called "memo".
    questions.clear();
    EXPECT_EQ(pasteFiles({home + "src/memo"}, home + "dst", true, nullptr, &err), QStringList{home + "dst/memo"});
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].startsWith("This folder already contains a file named 'memo'.\r"
                                        "Would you like to replace that file with the folder 'memo'"))
        << questions[0].toStdString();
    EXPECT_EQ(readFile(home + "dst/memo/inner/x.sc4"), "folder content");
    EXPECT_FALSE(QFileInfo::exists(home + "src/memo"));
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
}

// When the trash cannot take the old entry, nothing is replaced: the old one
// stays, the staged copy is removed, and a moved source stays where it was.
TEST_F(Transfer, WhenTheTrashRefusesNothingIsReplaced) {
    Tmpfs drive("1m");
    REQUIRE_MOUNT(drive);
    // A file where the volume's trash folder would go, and a home trash on
    // another volume: neither can take the entry by a rename.
    writeFile(drive.path() + QStringLiteral(".Trash-%1").arg(::getuid()), "not a folder");
    writeFile(drive.path() + "C.SC4", "old c");
    writeFile(home + "C.SC4", "new c");
    answer = true;
    for (bool cut : {false, true}) {
        QString err;
        EXPECT_TRUE(pasteFiles({home + "C.SC4"}, drive.path(), cut, nullptr, &err).isEmpty());
        EXPECT_TRUE(err.contains("trash")) << err.toStdString();
        EXPECT_EQ(readFile(drive.path() + "C.SC4"), "old c");
        EXPECT_EQ(readFile(home + "C.SC4"), "new c");
        EXPECT_EQ(entries(drive.path()).size(), 2) << entries(drive.path()).join(' ').toStdString();
    }
    // The same within one volume, where the source was first renamed to the
    // staging name: it is renamed back.
    writeFile(drive.path() + "D.SC4", "old d");
    QDir().mkpath(drive.path() + "sub");
    writeFile(drive.path() + "sub/D.SC4", "new d");
    QString err;
    EXPECT_TRUE(pasteFiles({drive.path() + "sub/D.SC4"}, drive.path(), true, nullptr, &err).isEmpty());
    EXPECT_EQ(readFile(drive.path() + "sub/D.SC4"), "new d");
    EXPECT_EQ(readFile(drive.path() + "D.SC4"), "old d");
    EXPECT_EQ(entries(drive.path() + "sub"), QStringList{"D.SC4"});
}

// A pipe inside a tree is never read (that would wait for ever): the move of
// the tree across volumes is refused as a whole and nothing moves.
TEST_F(Transfer, SpecialFilesStopACrossVolumeMove) {
    Tmpfs drive("1m");
    REQUIRE_MOUNT(drive);
    QDir().mkpath(home + "tree");
    writeFile(home + "tree/a.sc4", "a");
    ASSERT_EQ(::mkfifo(QFile::encodeName(home + "tree/pipe").constData(), 0600), 0);
    QString err;
    EXPECT_FALSE(transferEntry(home + "tree", drive.path() + "tree", TransferMode::Move, false, &err));
    EXPECT_TRUE(err.contains("pipe")) << err.toStdString();
    EXPECT_TRUE(entries(drive.path()).isEmpty());
    EXPECT_EQ(entries(home + "tree"), (QStringList{"a.sc4", "pipe"}));
    // Without replace, an entry that is there is an error, not a replacement.
    writeFile(drive.path() + "a.sc4", "there");
    err.clear();
    EXPECT_FALSE(transferEntry(home + "tree/a.sc4", drive.path() + "a.sc4", TransferMode::Move, false, &err));
    EXPECT_EQ(readFile(drive.path() + "a.sc4"), "there");
    EXPECT_EQ(readFile(home + "tree/a.sc4"), "a");
    // Nor does a folder go inside itself (its copy would copy itself).
    QDir().mkpath(home + "tree/sub");
    err.clear();
    EXPECT_FALSE(transferEntry(home + "tree", home + "tree/sub/tree", TransferMode::Copy, false, &err));
    EXPECT_TRUE(err.contains("inside itself")) << err.toStdString();
    EXPECT_EQ(entries(home + "tree/sub"), QStringList{});
}
