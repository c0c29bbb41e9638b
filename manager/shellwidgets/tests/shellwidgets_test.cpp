// The shell-browsing widgets: list order and re-reading, the filter, the
// directory monitor, selection and renaming, drag and drop, the tree's
// volumes and re-synchronisation, the combo and the link between them.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/shellwidgets/shellwidgets.hpp"

#include "vek/platform/shellverbs.hpp"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMimeData>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <memory>

#include "vek/testsupport/qt.hpp"

using namespace vek::shellwidgets;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) { *os << '[' << l.join("|").toStdString() << ']'; }
QT_END_NAMESPACE

namespace {

// The sandboxed home the shared Qt test main made.
const QString& g_home = vek::testsupport::sandboxHome();

void touch(const QString& path, const QByteArray& bytes = "x") {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

bool waitFor(const std::function<bool()>& cond, int ms = 5000) {
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

class ShellWidgets : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::make_unique<QTemporaryDir>(g_home + "/w-XXXXXX");
        ASSERT_TRUE(dir->isValid());
        root = dir->path() + '/';
    }
    std::unique_ptr<QTemporaryDir> dir;
    QString root;
};

}  // namespace

TEST_F(ShellWidgets, ListFillsSortedAndRereadAppends) {
    touch(root + "b.wav");
    touch(root + "A.SC4");
    touch(root + ".hidden");
    QDir().mkdir(root + "zeta");
    QDir().mkdir(root + "Alpha");
    ShellListView list;
    QSignalSpy populated(&list, &ShellListView::populated);
    list.setPath(root);
    EXPECT_EQ(populated.count(), 1);
    EXPECT_EQ(list.path(), root);
    // Folders first, then names without regard to case; hidden files shown.
    EXPECT_EQ(list.allNames(), (QStringList{"Alpha", "zeta", ".hidden", "A.SC4", "b.wav"}));
    touch(root + "0first.wav");  // would sort first
    QFile::remove(root + "A.SC4");
    list.reread();
    EXPECT_EQ(list.allNames(), (QStringList{"Alpha", "zeta", ".hidden", "b.wav", "0first.wav"}));
    list.refresh();  // a fresh fill sorts again
    EXPECT_EQ(list.allNames(), (QStringList{"Alpha", "zeta", ".hidden", "0first.wav", "b.wav"}));
    // Columns: name, size, type, date.
    auto* m = list.model();
    EXPECT_EQ(m->columnCount(), 4);
    EXPECT_EQ(m->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "Size");
    EXPECT_EQ(m->data(m->index(3, 0), Qt::DisplayRole).toString(), "0first.wav");
    EXPECT_EQ(m->data(m->index(0, 2), Qt::DisplayRole).toString(), "File Folder");
    EXPECT_EQ(m->data(m->index(0, 1), Qt::DisplayRole).toString(), "");
}

TEST_F(ShellWidgets, FilterMasksWithoutRegardToCase) {
    touch(root + "MEMO.SC4");
    touch(root + "greet.Wav");
    touch(root + "notes.txt");
    QDir().mkdir(root + "sub.dir");
    ShellListView list;
    list.setPath(root);
    list.setFilter("*.sc4;*.wav");
    EXPECT_EQ(list.allNames(), (QStringList{"sub.dir", "greet.Wav", "MEMO.SC4"}));
    list.setFilter("*.SC4");
    EXPECT_EQ(list.allNames(), (QStringList{"sub.dir", "MEMO.SC4"}));
    list.setFilter(" ; ");  // nothing usable: everything
    EXPECT_EQ(list.itemCount(), 4);
    list.setFilter("*.wav");
    touch(root + "NEW.WAV");
    touch(root + "new.txt");
    list.reread();  // the filter holds for re-reads too
    EXPECT_EQ(list.allNames(), (QStringList{"sub.dir", "greet.Wav", "NEW.WAV"}));
}

TEST_F(ShellWidgets, MonitorFollowsTheFolderByItself) {
    ShellListView list;
    list.setMonitorDelay(20);
    list.setPath(root);
    EXPECT_EQ(list.itemCount(), 0);
    touch(root + "arrived.sc4");
    EXPECT_TRUE(waitFor([&] { return list.allNames() == QStringList{"arrived.sc4"}; }));
    QFile::remove(root + "arrived.sc4");
    EXPECT_TRUE(waitFor([&] { return list.itemCount() == 0; }));
}

TEST_F(ShellWidgets, SelectionAndShowingAWrittenFile) {
    touch(root + "a.sc4");
    touch(root + "MEMO.WAV");
    touch(root + "z.sc4");
    ShellListView list;
    list.setPath(root);
    EXPECT_EQ(list.firstSelected(), -1);
    list.setSelected(2, true);
    list.setSelected(0, true);
    EXPECT_EQ(list.selectedCount(), 2);
    EXPECT_EQ(list.firstSelected(), 0);
    EXPECT_EQ(list.selectedNames(), (QStringList{"a.sc4", "z.sc4"}));  // list order
    EXPECT_EQ(list.selectedPaths(), (QStringList{root + "a.sc4", root + "z.sc4"}));
    list.setSelected(0, false);
    EXPECT_EQ(list.selectedNames(), QStringList{"z.sc4"});
    list.clearSelection();
    // A file written over MEMO.WAV under another case: the old entry goes, the
    // new one comes last and is selected.
    QFile::remove(root + "MEMO.WAV");
    touch(root + "memo.wav", "new");
    list.showWrittenFile("memo.wav");
    EXPECT_EQ(list.allNames(), (QStringList{"a.sc4", "z.sc4", "memo.wav"}));
    EXPECT_EQ(list.selectedNames(), QStringList{"memo.wav"});
    touch(root + "b.wav");
    list.showWrittenFile("b.wav");
    EXPECT_EQ(list.selectedNames(), (QStringList{"memo.wav", "b.wav"}));  // selections add up
    EXPECT_FALSE(list.isDesktop());
}

TEST_F(ShellWidgets, InPlaceRenaming) {
    touch(root + "old.sc4");
    touch(root + "other.sc4");
    ShellListView list;
    list.setPath(root);
    auto* m = list.model();
    EXPECT_TRUE(m->flags(m->index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_TRUE(m->setData(m->index(0, 0), "renamed.sc4", Qt::EditRole));
    EXPECT_TRUE(QFile::exists(root + "renamed.sc4"));
    EXPECT_FALSE(QFile::exists(root + "old.sc4"));
    EXPECT_EQ(list.itemName(0), "renamed.sc4");
    list.setReadOnly(true);
    EXPECT_FALSE(m->flags(m->index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_FALSE(m->setData(m->index(0, 0), "again.sc4", Qt::EditRole));
    EXPECT_TRUE(QFile::exists(root + "renamed.sc4"));
}

TEST_F(ShellWidgets, RenamingNeverOverwrites) {
    touch(root + "a.sc4", "A");
    touch(root + "b.sc4", "B");
    ShellListView list;
    list.setPath(root);
    // The refusals show a message box; close each one at once.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->inherits("QMessageBox") && w->isVisible()) w->close();
    });
    closer.start(10);
    auto* m = list.model();
    EXPECT_FALSE(m->setData(m->index(0, 0), "b.sc4", Qt::EditRole));
    EXPECT_FALSE(m->setData(m->index(0, 0), "x/y.sc4", Qt::EditRole));
    EXPECT_FALSE(m->setData(m->index(0, 0), "", Qt::EditRole));
    QFile b(root + "b.sc4");
    ASSERT_TRUE(b.open(QIODevice::ReadOnly));
    EXPECT_EQ(b.readAll(), "B");
    EXPECT_TRUE(QFile::exists(root + "a.sc4"));
}

TEST_F(ShellWidgets, DragOutAndDropIn) {
    QDir().mkpath(root + "list");
    QDir().mkpath(root + "outside");
    touch(root + "list/out.sc4", "voice");
    touch(root + "outside/in.wav", "wave");
    ShellListView list;
    list.setPath(root + "list");
    auto* m = list.model();
    std::unique_ptr<QMimeData> md(m->mimeData({m->index(0, 0), m->index(0, 1)}));
    EXPECT_EQ(md->urls(), QList<QUrl>{QUrl::fromLocalFile(root + "list/out.sc4")});  // one URL per row
    EXPECT_TRUE(m->supportedDragActions() & Qt::CopyAction);
    // Files dropped in from another program are copied into the folder.
    QMimeData drop;
    drop.setUrls({QUrl::fromLocalFile(root + "outside/in.wav")});
    EXPECT_TRUE(m->canDropMimeData(&drop, Qt::CopyAction, -1, -1, {}));
    EXPECT_TRUE(m->dropMimeData(&drop, Qt::MoveAction, -1, -1, {}));
    EXPECT_TRUE(QFile::exists(root + "list/in.wav"));
    EXPECT_TRUE(QFile::exists(root + "outside/in.wav"));  // copied, not moved
    EXPECT_TRUE(list.allNames().contains("in.wav"));
    // Dropped back onto its own folder, an entry stays as it is (no copy made).
    std::unique_ptr<QMimeData> own(m->mimeData({m->index(0, 0)}));
    const int count = list.itemCount();
    EXPECT_FALSE(m->dropMimeData(own.get(), Qt::CopyAction, -1, -1, {}));
    EXPECT_EQ(list.itemCount(), count);
    EXPECT_EQ(QDir(root + "list").entryList(QDir::Files).size(), 2);
    QMimeData text;
    text.setText("not files");
    EXPECT_FALSE(m->canDropMimeData(&text, Qt::CopyAction, -1, -1, {}));
}

TEST_F(ShellWidgets, ViewStyles) {
    ShellListView list;
    list.setPath(root);
    for (auto s : {ShellListView::vsIcon, ShellListView::vsSmallIcon, ShellListView::vsList, ShellListView::vsReport}) {
        list.setViewStyle(s);
        EXPECT_EQ(list.viewStyle(), s);
        ShellListView::ViewStyle back;
        ASSERT_TRUE(ShellListView::viewStyleFromName(ShellListView::viewStyleName(s), &back));
        EXPECT_EQ(back, s);
    }
    EXPECT_EQ(ShellListView::viewStyleName(ShellListView::vsSmallIcon), "vsSmallIcon");
    ShellListView::ViewStyle dummy;
    EXPECT_FALSE(ShellListView::viewStyleFromName("vsTiles", &dummy));
    EXPECT_TRUE(list.currentView()->inherits("QTreeView"));
    list.setViewStyle(ShellListView::vsIcon);
    EXPECT_TRUE(list.currentView()->inherits("QListView"));
}

TEST_F(ShellWidgets, TreeTopNodesPathsAndParent) {
    ShellTree tree;
    tree.setVolumeProvider([] { return QList<Volume>{}; });
    const auto top = tree.topNodes();
    ASSERT_GE(top.size(), 2);
    EXPECT_EQ(top[0].rootPath, QDir::homePath() + '/');
    EXPECT_EQ(top[1].rootPath, "/");
    QDir().mkpath(root + "a/b/c");
    QSignalSpy changed(&tree, &ShellTree::pathChanged);
    ASSERT_TRUE(tree.setPath(root + "a/b"));
    EXPECT_EQ(tree.selectedPath(), root + "a/b/");
    EXPECT_EQ(tree.selectedCaption(), "b");
    EXPECT_FALSE(tree.selectedIsTopLevel());
    EXPECT_GE(changed.count(), 1);
    EXPECT_EQ(changed.last().at(0).toString(), root + "a/b/");
    tree.goUp();
    EXPECT_EQ(tree.selectedPath(), root + "a/");
    EXPECT_FALSE(tree.setPath(root + "missing"));
    EXPECT_EQ(tree.selectedPath(), root + "a/");
    ASSERT_TRUE(tree.setPath("/"));
    EXPECT_TRUE(tree.selectedIsTopLevel());
    tree.goUp();  // nothing above the root
    EXPECT_EQ(tree.selectedPath(), "/");
}

TEST_F(ShellWidgets, TreeResyncFollowsFoldersAndVolumes) {
    QDir().mkpath(root + "a/old");
    QDir().mkpath(root + "rec");
    QList<Volume> vols;
    ShellTree tree;
    tree.setVolumeProvider([&] { return vols; });
    const int before = int(tree.topNodes().size());
    ASSERT_TRUE(tree.setPath(root + "a/old"));
    // Folders added and removed under an expanded node.
    QDir().mkdir(root + "a/new");
    QDir(root + "a/old").removeRecursively();
    tree.resync();
    EXPECT_EQ(tree.selectedPath(), root + "a/");  // the selected one went: its parent
    EXPECT_TRUE(tree.setPath(root + "a/new"));
    // A recorder plugged in: a new volume appears at the top; removed, it vanishes.
    vols = {Volume{root + "rec/", "RECORDER"}};
    tree.resync();
    ASSERT_EQ(int(tree.topNodes().size()), before + 1);
    EXPECT_EQ(tree.topNodes().last().caption, "RECORDER");
    ASSERT_TRUE(tree.setPath(root + "rec"));
    EXPECT_TRUE(tree.selectedIsTopLevel());  // reached through the volume node
    vols.clear();
    tree.resync();
    EXPECT_EQ(int(tree.topNodes().size()), before);
    EXPECT_FALSE(tree.selectedPath().isEmpty());
}

TEST(ShellVolumes, OnlyUserVolumesAreListed) {
    for (const auto& v : mountedVolumes()) {
        EXPECT_NE(v.rootPath, "/");
        EXPECT_TRUE(v.rootPath.endsWith('/'));
        for (const char* sys : {"/proc", "/sys", "/dev", "/run/user", "/boot"})
            EXPECT_FALSE(v.rootPath.startsWith(QLatin1String(sys))) << v.rootPath.toStdString();
        EXPECT_FALSE(v.caption.isEmpty());
    }
}

TEST_F(ShellWidgets, TreeRefreshKeepsThePath) {
    QDir().mkpath(root + "k/l");
    ShellTree tree;
    tree.setVolumeProvider([] { return QList<Volume>{}; });
    ASSERT_TRUE(tree.setPath(root + "k/l"));
    QDir().mkpath(root + "k/m");
    tree.refreshTree();
    EXPECT_EQ(tree.selectedPath(), root + "k/l/");
    EXPECT_TRUE(tree.setPath(root + "k/m"));
}

TEST_F(ShellWidgets, DesktopListIsNotRereadForAWrittenFile) {
    const QString desk = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    QDir().mkpath(desk);
    touch(desk + "/a.wav");
    ShellListView list;
    list.setPath(desk);
    ASSERT_TRUE(list.isDesktop());
    touch(desk + "/a.sc4");
    list.showWrittenFile("A.WAV");  // drops the entry of that name (any case), nothing more
    EXPECT_TRUE(list.allNames().isEmpty());
    EXPECT_EQ(list.selectedCount(), 0);
    list.reread();
    EXPECT_EQ(list.allNames(), (QStringList{"a.sc4", "a.wav"}));
    QFile::remove(desk + "/a.sc4");
    QFile::remove(desk + "/a.wav");
}

TEST_F(ShellWidgets, ComboListsTheWayDownAndMoves) {
    QDir().mkpath(root + "x/y");
    ShellTree tree;
    tree.setVolumeProvider([] { return QList<Volume>{}; });
    ShellCombo combo;
    combo.setPath(root + "x/y", tree.topNodes());
    const int cur = combo.itemIndex();
    EXPECT_EQ(combo.itemPath(cur), root + "x/y/");
    EXPECT_EQ(combo.itemPath(cur - 1), root + "x/");
    EXPECT_EQ(combo.itemText(cur).trimmed(), "y");
    QSignalSpy chosen(&combo, &ShellCombo::pathChosen);
    combo.setItemIndex(cur - 1);
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toString(), root + "x/");
    combo.setItemIndex(999);  // out of range: nothing
    EXPECT_EQ(chosen.count(), 1);
}

TEST_F(ShellWidgets, LinkKeepsAllThreeOnOneFolder) {
    QDir().mkpath(root + "one/two");
    ShellTree tree;
    tree.setVolumeProvider([] { return QList<Volume>{}; });
    ShellListView list;
    ShellCombo combo;
    ShellLink link(&combo, &tree, &list);
    link.go(root + "one");
    EXPECT_EQ(list.path(), root + "one/");
    EXPECT_EQ(tree.selectedPath(), root + "one/");
    EXPECT_EQ(combo.itemPath(combo.itemIndex()), root + "one/");
    tree.setPath(root + "one/two");  // the user picks a folder in the tree
    EXPECT_EQ(list.path(), root + "one/two/");
    EXPECT_EQ(combo.itemPath(combo.itemIndex()), root + "one/two/");
    emit list.folderActivated(root + "one/");  // a folder opened in the list
    EXPECT_EQ(tree.selectedPath(), root + "one/");
    combo.setItemIndex(combo.itemIndex() - 1);
    EXPECT_EQ(list.path(), combo.itemPath(combo.itemIndex()));
    EXPECT_EQ(tree.selectedPath(), list.path());
}
