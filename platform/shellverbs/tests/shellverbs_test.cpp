// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/fileops.hpp"
#include "vek/platform/shellverbs.hpp"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

#include "vek/testsupport/qt.hpp"

using namespace vek::shell;

namespace {

// HOME and XDG_DATA_HOME point into the sandboxed home of the shared Qt
// test main, so the trash the tests fill is a private one on the same volume
// as the test files.
const QString& g_home = vek::testsupport::sandboxHome();

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ShellVerbs : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::make_unique<QTemporaryDir>(g_home + "/work-XXXXXX");
        ASSERT_TRUE(dir->isValid());
        root = dir->path() + '/';
        questions.clear();
        setQuestionHandler([this](QWidget*, const QString&, const QString& text) {
            questions << text;
            return answer;
        });
    }
    void TearDown() override { setQuestionHandler({}); }
    std::unique_ptr<QTemporaryDir> dir;
    QString root;
    QStringList questions;
    bool answer = true;
};

}  // namespace

TEST(ShellFileOps, MasksMatchWithoutCase) {
    EXPECT_EQ(splitMasks(" *.sc4; *.wav ;;"), (QStringList{"*.sc4", "*.wav"}));
    const QStringList both = splitMasks("*.sc4;*.wav");
    EXPECT_TRUE(matchesAnyMask("MEMO.SC4", both));
    EXPECT_TRUE(matchesAnyMask("memo.Wav", both));
    EXPECT_FALSE(matchesAnyMask("memo.sc4.txt", both));
    EXPECT_FALSE(matchesAnyMask("memosc4", both));
    EXPECT_TRUE(matchesMask("VOICE001.SC4", "voice???.sc4"));
    EXPECT_FALSE(matchesMask("VOICE01.SC4", "voice???.sc4"));
    EXPECT_TRUE(matchesMask("README", "*.*"));
    EXPECT_TRUE(matchesMask("a.b.c", "*.c"));
    EXPECT_TRUE(matchesMask("abcabd", "*abd"));
    EXPECT_FALSE(matchesMask("", "?"));
}

TEST_F(ShellVerbs, FolderFacts) {
    EXPECT_EQ(withTrailingSeparator("/tmp//x"), "/tmp/x/");
    EXPECT_EQ(withTrailingSeparator("/"), "/");
    EXPECT_TRUE(folderEntryExists(root));          // one trailing separator stripped
    EXPECT_TRUE(folderEntryExists("/"));
    EXPECT_FALSE(folderEntryExists(root + "missing/"));
    writeFile(root + "f.txt", "x");
    EXPECT_TRUE(folderEntryExists(root + "f.txt"));  // any entry, as FindFirstFile

    auto a = folderAttributes(root);
    ASSERT_TRUE(a.has_value());
    EXPECT_FALSE(a->readOnly);
    EXPECT_FALSE(folderAttributes(root + "missing").has_value());
    EXPECT_FALSE(folderAttributes(root + "f.txt").has_value());
    QDir().mkdir(root + "ro");
    QFile::setPermissions(root + "ro", QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
    a = folderAttributes(root + "ro/");
    ASSERT_TRUE(a.has_value());
    EXPECT_TRUE(a->readOnly);  // holds for root too: no write bit at all
    QFile::setPermissions(root + "ro", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    auto kb = freeSpaceKB(root);
    ASSERT_TRUE(kb.has_value());
    EXPECT_GT(*kb, 0u);
    EXPECT_FALSE(freeSpaceKB(root + "gone/").has_value());
}

TEST_F(ShellVerbs, NewFolderNames) {
    EXPECT_EQ(freeNewFolderPath(root), root + "New Folder");
    QDir().mkdir(root + "New Folder");
    QDir().mkdir(root + "New Folder (2)");
    EXPECT_EQ(freeNewFolderPath(root), root + "New Folder (3)");
    writeFile(root + "New Folder (3)", "file, not a folder");  // any entry blocks the name
    EXPECT_EQ(freeNewFolderPath(root), root + "New Folder (4)");
}

TEST_F(ShellVerbs, ClipboardFormatsOfTheFileManagers) {
    // What a desktop file manager puts on the clipboard for a cut.
    QMimeData fm;
    fm.setData("x-special/gnome-copied-files", "cut\nfile:///tmp/My%20Memo.SC4\nfile:///tmp/b.wav");
    auto cf = readFileMimeData(&fm);
    EXPECT_TRUE(cf.cut);
    EXPECT_EQ(cf.paths, (QStringList{"/tmp/My Memo.SC4", "/tmp/b.wav"}));
    // Only text/uri-list (a plain copy from another program).
    QMimeData plain;
    plain.setUrls({QUrl::fromLocalFile("/tmp/a.sc4"), QUrl("https://example.org/x")});
    cf = readFileMimeData(&plain);
    EXPECT_FALSE(cf.cut);
    EXPECT_EQ(cf.paths, QStringList{"/tmp/a.sc4"});
    // Ours carries all formats.
    std::unique_ptr<QMimeData> ours(makeFileMimeData({root + "a b.sc4"}, true));
    EXPECT_EQ(ours->data("x-special/gnome-copied-files"),
              "cut\n" + QUrl::fromLocalFile(root + "a b.sc4").toEncoded());
    EXPECT_EQ(ours->urls(), QList<QUrl>{QUrl::fromLocalFile(root + "a b.sc4")});
    EXPECT_EQ(ours->data("application/x-kde-cutselection"), "1");
    cf = readFileMimeData(ours.get());
    EXPECT_TRUE(cf.cut);
    EXPECT_EQ(cf.paths, QStringList{root + "a b.sc4"});
}

TEST_F(ShellVerbs, CopyAndCutThroughTheClipboard) {
    QDir().mkpath(root + "src/sub");
    QDir().mkpath(root + "dst");
    writeFile(root + "src/A.SC4", "sc4 bytes");
    writeFile(root + "src/sub/inner.wav", "wav bytes");
    copyToClipboard({root + "src/A.SC4", root + "src/sub"}, false);
    QString err;
    auto written = pasteClipboard(root + "dst", nullptr, &err);
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
    EXPECT_EQ(written, (QStringList{root + "dst/A.SC4", root + "dst/sub"}));
    EXPECT_EQ(readFile(root + "dst/sub/inner.wav"), "wav bytes");
    EXPECT_TRUE(QFile::exists(root + "src/A.SC4"));  // copy keeps the source

    // Pasting again asks before replacing; "no" leaves the old file.
    writeFile(root + "src/A.SC4", "newer bytes");
    answer = false;
    copyToClipboard({root + "src/A.SC4"}, true);
    written = pasteClipboard(root + "dst", nullptr, &err);
    EXPECT_TRUE(written.isEmpty());
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions.front().contains("A.SC4"));
    EXPECT_EQ(readFile(root + "dst/A.SC4"), "sc4 bytes");
    EXPECT_TRUE(QFile::exists(root + "src/A.SC4"));
    // "yes" replaces it and, for a cut, removes the source and empties the clipboard.
    answer = true;
    written = pasteClipboard(root + "dst", nullptr, &err);
    EXPECT_EQ(written, QStringList{root + "dst/A.SC4"});
    EXPECT_EQ(readFile(root + "dst/A.SC4"), "newer bytes");
    EXPECT_FALSE(QFile::exists(root + "src/A.SC4"));
    EXPECT_TRUE(clipboardFiles().paths.isEmpty());
}

TEST_F(ShellVerbs, PasteIntoTheSameFolderAndIntoItself) {
    QDir().mkpath(root + "f/inner");
    writeFile(root + "f/m.wav", "1");
    QString err;
    auto w = pasteFiles({root + "f/m.wav"}, root + "f", false, nullptr, &err);
    EXPECT_EQ(w, QStringList{root + "f/Copy of m.wav"});
    w = pasteFiles({root + "f/m.wav"}, root + "f/", false, nullptr, &err);
    EXPECT_EQ(w, QStringList{root + "f/Copy (2) of m.wav"});
    EXPECT_TRUE(questions.isEmpty());
    // A folder never goes into itself or below itself.
    w = pasteFiles({root + "f"}, root + "f/inner", false, nullptr, &err);
    EXPECT_TRUE(w.isEmpty());
    EXPECT_FALSE(err.isEmpty());
    EXPECT_FALSE(QFile::exists(root + "f/inner/f"));
    // A vanished source is reported, not silently counted.
    err.clear();
    w = pasteFiles({root + "gone.sc4"}, root + "f", false, nullptr, &err);
    EXPECT_TRUE(w.isEmpty());
    EXPECT_FALSE(err.isEmpty());
}

// A linked folder leads back to the source's own folder: the pasted entry
// is a copy beside it, never a "replacement" that deletes the source first;
// a folder pasted into itself through a link is refused.
TEST_F(ShellVerbs, PasteThroughALinkedFolderKeepsTheSource) {
    QDir().mkpath(root + "real/inner");
    writeFile(root + "real/m.sc4", "voice");
    ASSERT_TRUE(QFile::link(root + "real", root + "alias"));
    answer = true;  // would say yes to a replacement
    QString err;
    auto w = pasteFiles({root + "real/m.sc4"}, root + "alias/", false, nullptr, &err);
    EXPECT_EQ(readFile(root + "real/m.sc4"), "voice");
    EXPECT_EQ(w, QStringList{root + "alias/Copy of m.sc4"});
    EXPECT_TRUE(questions.isEmpty());
    // Cut and pasted onto itself through the link: nothing moves, nothing is lost.
    w = pasteFiles({root + "real/m.sc4"}, root + "alias", true, nullptr, &err);
    EXPECT_TRUE(w.isEmpty());
    EXPECT_EQ(readFile(root + "real/m.sc4"), "voice");
    // A folder into its own subfolder by way of the link.
    ASSERT_TRUE(QFile::link(root + "real/inner", root + "innerlink"));
    err.clear();
    w = pasteFiles({root + "real"}, root + "innerlink", false, nullptr, &err);
    EXPECT_TRUE(w.isEmpty());
    EXPECT_FALSE(err.isEmpty());
    EXPECT_FALSE(QFile::exists(root + "real/inner/real"));
}

// Pasting a.../x/x into the folder that holds .../x: the entry to be
// replaced holds the source, so nothing is replaced (or lost).
TEST_F(ShellVerbs, PasteNeverReplacesAFolderHoldingTheSource) {
    QDir().mkpath(root + "x/x");
    writeFile(root + "x/x/m.sc4", "voice");
    answer = true;
    for (bool cut : {false, true}) {
        QString err;
        const auto w = pasteFiles({root + "x/x"}, root, cut, nullptr, &err);
        EXPECT_TRUE(w.isEmpty());
        EXPECT_FALSE(err.isEmpty());
        EXPECT_EQ(readFile(root + "x/x/m.sc4"), "voice");
    }
    EXPECT_TRUE(questions.isEmpty());
}

TEST_F(ShellVerbs, DeleteGoesToTheTrashAfterConfirmation) {
    writeFile(root + "x.sc4", "bytes");
    answer = false;
    EXPECT_EQ(deleteToTrash({root + "x.sc4"}, nullptr), 0);
    EXPECT_TRUE(QFile::exists(root + "x.sc4"));
    answer = true;
    EXPECT_EQ(deleteToTrash({root + "x.sc4"}, nullptr), 1);
    EXPECT_FALSE(QFile::exists(root + "x.sc4"));
    ASSERT_EQ(questions.size(), 2);
    EXPECT_TRUE(questions.back().contains("x.sc4"));
    // It can be restored from the trash: the file is there with its bytes.
    QDir trash(g_home + "/data/Trash/files");
    const auto found = trash.entryList({"x*.sc4"}, QDir::Files);
    ASSERT_EQ(found.size(), 1) << trash.path().toStdString() << " holds "
                               << trash.entryList(QDir::AllEntries | QDir::Hidden).join(' ').toStdString();
    EXPECT_EQ(readFile(trash.filePath(found.front())), "bytes");
}

TEST_F(ShellVerbs, PropertiesSheet) {
    writeFile(root + "memo.wav", QByteArray(2048, 'a'));
    PropertiesDialog d({root + "memo.wav"});
    EXPECT_EQ(d.field("Name"), "memo.wav");
    EXPECT_EQ(d.field("Location"), dir->path());
    EXPECT_TRUE(d.field("Size").contains("2,048 bytes") || d.field("Size").contains("2048 bytes"))
        << d.field("Size").toStdString();
    EXPECT_TRUE(d.field("Permissions").startsWith("rw")) << d.field("Permissions").toStdString();
    QDir().mkpath(root + "dir/sub");
    writeFile(root + "dir/sub/a", QByteArray(10, 'a'));
    writeFile(root + "dir/b", QByteArray(5, 'a'));
    PropertiesDialog f({root + "dir"});
    EXPECT_EQ(f.field("Type"), "Folder");
    EXPECT_EQ(f.field("Contains"), "2 Files, 1 Folders");
    EXPECT_TRUE(f.field("Size").contains("(15 bytes)")) << f.field("Size").toStdString();
    PropertiesDialog many({root + "memo.wav", root + "dir"});
    EXPECT_EQ(many.field("Name"), "2 items");
    EXPECT_EQ(many.field("Contains"), "3 Files, 2 Folders");
}

TEST_F(ShellVerbs, FindDialogSearchesSubfolders) {
    QDir().mkpath(root + "deep/er");
    writeFile(root + "deep/er/VOICE1.SC4", "1");
    writeFile(root + "deep/voice2.sc4", "2");
    writeFile(root + "voice3.wav", "3");
    FindDialog d(root);
    d.setPattern("*.sc4");
    EXPECT_EQ(d.search(), 2);
    QStringList r = d.results();
    r.sort();
    EXPECT_EQ(r, (QStringList{root + "deep/er/VOICE1.SC4", root + "deep/voice2.sc4"}));
    d.setPattern("voice");  // a bare word: names that contain it
    EXPECT_EQ(d.search(), 3);
    QSignalSpy spy(&d, &FindDialog::showInFolder);
    d.setPattern("VOICE1.sc4");
    ASSERT_EQ(d.search(), 1);
    d.activateResult(0);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), root + "deep/er");
    EXPECT_EQ(spy.at(0).at(1).toString(), "VOICE1.SC4");
}
