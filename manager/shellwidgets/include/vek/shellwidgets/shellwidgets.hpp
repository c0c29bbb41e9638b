// The shell-browsing widgets of the manager: a folder tree, a file list and a
// folder combo, kept on one folder by a link object.
//
// The file list keeps its own ordered entries: a fresh fill sorts folders
// first, then names without regard to case; a re-read keeps the order of the
// entries still there, drops the vanished ones and appends new ones at the
// end, so that a file the manager has just written is the last item. A
// directory-change monitor re-reads the shown folder by itself.
//
// The tree shows the home folder, the file system root and each mounted
// volume, loads folders when they are expanded and re-synchronises with the
// disk on request (volumes that appeared or vanished, folders added or
// removed under loaded nodes, recursing into expanded ones).
//
// Paths handed out end in "/"; paths taken in may or may not.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractTableModel>
#include <QComboBox>
#include <QFileInfo>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QTreeView>
#include <QWidget>

#include <functional>
#include <vector>

class QAction;
class QFileSystemWatcher;
class QItemSelectionModel;
class QListView;
class QStackedLayout;
class QStandardItem;
class QStandardItemModel;
class QTimer;
class QMenu;

namespace vek::shellwidgets {

// ---------------------------------------------------------------- file list

class ShellListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColName, ColSize, ColType, ColModified, ColumnCount };
    explicit ShellListModel(QObject* parent = nullptr);

    // Fills the model from `folder` afresh (sorted). False when the folder
    // cannot be read (the model is then empty).
    bool populate(const QString& folder);
    // Re-reads the folder: kept entries stay in place, vanished ones go, new
    // ones are appended.
    void reread();
    void setMasks(const QStringList& masks) { masks_ = masks; }
    void setReadOnly(bool ro) { readOnly_ = ro; }

    const QString& folder() const { return folder_; }
    int count() const { return static_cast<int>(entries_.size()); }
    const QFileInfo& info(int row) const { return entries_[static_cast<std::size_t>(row)]; }
    QString name(int row) const { return info(row).fileName(); }
    QString pathOf(int row) const { return folder_ + name(row); }
    // Drops the entries of that name, compared without regard to case.
    void removeByName(const QString& name);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDropActions() const override;
    Qt::DropActions supportedDragActions() const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

signals:
    // Files dropped in were copied; the list re-reads afterwards.
    void filesDropped(const QStringList& written);

private:
    bool accepted(const QFileInfo& fi) const;
    QFileInfoList readFolder(bool* ok) const;
    QIcon iconFor(const QFileInfo& fi) const;
    QString typeFor(const QFileInfo& fi) const;

    QString folder_;
    QStringList masks_{QStringLiteral("*")};
    std::vector<QFileInfo> entries_;
    bool readOnly_ = false;
    mutable QHash<QString, QIcon> iconCache_;
    mutable QHash<QString, QString> typeCache_;
};

class ShellListView : public QWidget {
    Q_OBJECT
public:
    enum ViewStyle { vsIcon = 0, vsSmallIcon = 1, vsList = 2, vsReport = 3 };
    explicit ShellListView(QWidget* parent = nullptr);

    QString path() const;                  // ends in "/" (empty before the first folder)
    void setPath(const QString& folder);   // fills the list; emits populated()
    void setFilter(const QString& filter); // masks separated by ";"
    QString filter() const { return filter_; }
    ViewStyle viewStyle() const { return style_; }
    void setViewStyle(ViewStyle s);
    static QString viewStyleName(ViewStyle s);           // "vsIcon", ...
    static bool viewStyleFromName(const QString& n, ViewStyle* s);

    int itemCount() const;
    int selectedCount() const;
    int firstSelected() const;             // -1 when none
    QString itemName(int i) const;
    // Row of the entry of that name (exact first, then without regard to
    // case); -1 when the list does not show it.
    int indexOfName(const QString& name) const;
    bool isSelected(int i) const;
    void setSelected(int i, bool on);
    void clearSelection();
    void selectAll();
    void editItem(int i);                  // starts in-place renaming
    QStringList selectedNames() const;     // in list order
    QStringList allNames() const;
    QStringList selectedPaths() const;
    bool isDesktop() const;
    bool isReadOnly() const { return readOnly_; }
    void setReadOnly(bool ro);

    bool invokeVerb(const QString& verb);  // on the selection
    QStringList paste();                   // into the shown folder
    void refresh();                        // fills afresh
    void reread();                         // appends new, removes vanished
    // A file just written: drops entries of that name, then (unless the list
    // shows the desktop) re-reads and selects the file when it is listed.
    void showWrittenFile(const QString& name);
    void makeVisible(int i);
    bool listHasFocus() const;
    void focusList();

    // Actions appended to the context menu (the conversions).
    void setExtraActions(const QList<QAction*>& actions) { extra_ = actions; }
    QMenu* buildContextMenu();

    ShellListModel* model() const { return model_; }
    QAbstractItemView* currentView() const;
    // How long the monitor waits for a burst of changes to end.
    void setMonitorDelay(int ms);

signals:
    void populated();
    void pathChanged(const QString& path);
    void folderActivated(const QString& path);  // a folder item opened
    void keyReleased(int key, Qt::KeyboardModifiers mods);
    void mouseReleased();
    void selectionChanged();

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void activate(const QModelIndex& idx);
    void watch();
    void renameSelected();
    void newFolder();

    ShellListModel* model_;
    QItemSelectionModel* sel_;
    QListView* list_;
    QTreeView* report_;
    QStackedLayout* stack_;
    QFileSystemWatcher* watcher_;
    QTimer* monitorTimer_;
    ViewStyle style_ = vsReport;
    QString filter_ = QStringLiteral("*");
    bool readOnly_ = false;
    QList<QAction*> extra_;
};

// -------------------------------------------------------------- folder tree

struct Volume {
    QString rootPath;   // mount point
    QString caption;    // label or folder name
};
// The mounted volumes the tree shows (not the root, not system mounts).
QList<Volume> mountedVolumes();

class ShellTree : public QTreeView {
    Q_OBJECT
public:
    explicit ShellTree(QWidget* parent = nullptr);

    QString selectedPath() const;          // ends in "/"
    QString selectedCaption() const;
    bool selectedIsTopLevel() const;
    // Selects the node of `folder`, expanding the nodes above it; false when
    // the folder does not exist.
    bool setPath(const QString& folder);
    bool invokeVerb(const QString& verb);  // on the selected folder
    void goUp();
    void refreshTree();                    // reloads everything, keeps the path
    void resync();                         // follows the disk (see above)
    void connectNetworkDrive();
    // Where the volumes come from (tests stand in for plugging a drive).
    void setVolumeProvider(std::function<QList<Volume>()> fn);
    void setExtraActions(const QList<QAction*>& actions) { extra_ = actions; }

    // The top nodes' captions and paths, in order (for the combo).
    QList<Volume> topNodes() const;
    QStandardItemModel* treeModel() const { return model_; }

signals:
    void pathChanged(const QString& path);
    void entered();
    void keyReleased(int key, Qt::KeyboardModifiers mods);
    // "Find..." of the context menu, on the selected folder.
    void findRequested(const QString& folder);

protected:
    void focusInEvent(QFocusEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    void buildTop();
    QStandardItem* addNode(QStandardItem* parent, const QString& path, const QString& caption, int row = -1);
    void loadChildren(QStandardItem* item);
    void resyncNode(QStandardItem* item);
    QStandardItem* nodeAt(const QString& path) const;
    QStandardItem* findChildPath(QStandardItem* parent, const QString& path) const;
    void onSelection();

    QStandardItemModel* model_;
    std::function<QList<Volume>()> volumes_;
    QString lastPath_;
    QList<QAction*> extra_;
    bool quiet_ = false;
};

// ------------------------------------------------------------- folder combo

class ShellCombo : public QComboBox {
    Q_OBJECT
public:
    explicit ShellCombo(QWidget* parent = nullptr);
    // Lists the top nodes and the folders down to `folder`, which becomes the
    // current item.
    void setPath(const QString& folder, const QList<Volume>& top);
    QString itemPath(int i) const;
    int itemIndex() const { return currentIndex(); }
    // Sets the item index and moves to that item's folder.
    void setItemIndex(int i);

signals:
    void pathChosen(const QString& path);
    void keyReleased(int key, Qt::KeyboardModifiers mods);

protected:
    void keyReleaseEvent(QKeyEvent* e) override;
};

// Keeps the combo, the tree and the list on the same folder.
class ShellLink : public QObject {
    Q_OBJECT
public:
    ShellLink(ShellCombo* combo, ShellTree* tree, ShellListView* list, QObject* parent = nullptr);
    void go(const QString& folder);

private:
    ShellCombo* combo_;
    ShellTree* tree_;
    ShellListView* list_;
    bool busy_ = false;
};

}  // namespace vek::shellwidgets
