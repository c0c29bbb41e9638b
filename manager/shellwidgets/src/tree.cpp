// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/shellwidgets/shellwidgets.hpp"

#include "vek/platform/fileops.hpp"
#include "vek/platform/shellverbs.hpp"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMetaMethod>
#include <QMimeData>
#include <QStandardItemModel>
#include <QStorageInfo>

namespace vek::shellwidgets {

using vek::shell::withTrailingSeparator;

namespace {

constexpr int kPathRole = Qt::UserRole + 1;
constexpr int kLoadedRole = Qt::UserRole + 2;
constexpr int kTopRole = Qt::UserRole + 3;

QString pathOf(const QStandardItem* it) { return it ? it->data(kPathRole).toString() : QString(); }

QStringList subfolders(const QString& path) {
    QDir d(path);
    QStringList names = d.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::NoSort);
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return names;
}

bool hasSubfolders(const QString& path) {
    return !QDir(path).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty();
}

}  // namespace

QList<Volume> mountedVolumes() {
    QList<Volume> out;
    const QString home = withTrailingSeparator(QDir::homePath());
    for (const QStorageInfo& si : QStorageInfo::mountedVolumes()) {
        if (!si.isValid() || !si.isReady()) continue;
        const QString root = si.rootPath();
        if (root == QLatin1String("/")) continue;
        // Removable media and user mounts; not the system's own mounts.
        const bool userPlace = root.startsWith(QLatin1String("/media/")) || root.startsWith(QLatin1String("/mnt/")) ||
                               root.startsWith(QLatin1String("/run/media/"));
        const bool device = si.device().startsWith("/dev/") && !root.startsWith(QLatin1String("/boot")) &&
                            !root.startsWith(QLatin1String("/snap/")) && !root.startsWith(QLatin1String("/proc")) &&
                            !root.startsWith(QLatin1String("/sys")) && !root.startsWith(QLatin1String("/dev")) &&
                            !root.startsWith(QLatin1String("/run/")) && !root.startsWith(QLatin1String("/var/")) &&
                            !root.startsWith(QLatin1String("/etc/")) && !home.startsWith(withTrailingSeparator(root));
        if (!userPlace && !device) continue;
        QString caption = si.displayName();
        if (caption.isEmpty() || caption == root) caption = QDir(root).dirName();
        out << Volume{withTrailingSeparator(root), caption};
    }
    return out;
}

ShellTree::ShellTree(QWidget* parent) : QTreeView(parent), volumes_(mountedVolumes) {
    model_ = new QStandardItemModel(this);
    setModel(model_);
    setHeaderHidden(true);
    setEditTriggers(NoEditTriggers);  // read-only: no renaming
    setSelectionMode(SingleSelection);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setUniformRowHeights(true);
    buildTop();
    connect(this, &QTreeView::expanded, this, [this](const QModelIndex& idx) {
        loadChildren(model_->itemFromIndex(idx));
    });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &ShellTree::onSelection);
}

void ShellTree::setVolumeProvider(std::function<QList<Volume>()> fn) {
    volumes_ = std::move(fn);
    resync();
}

QList<Volume> ShellTree::topNodes() const {
    QList<Volume> out;
    for (int r = 0; r < model_->rowCount(); ++r)
        out << Volume{pathOf(model_->item(r)), model_->item(r)->text()};
    return out;
}

QStandardItem* ShellTree::addNode(QStandardItem* parent, const QString& path, const QString& caption, int row) {
    static QFileIconProvider icons;
    auto* it = new QStandardItem(caption);
    it->setData(withTrailingSeparator(path), kPathRole);
    it->setData(false, kLoadedRole);
    it->setEditable(false);
    it->setIcon(icons.icon(QFileInfo(path)));
    if (hasSubfolders(path)) it->appendRow(new QStandardItem);  // placeholder: shows the expander
    QStandardItem* p = parent ? parent : model_->invisibleRootItem();
    if (row < 0 || row > p->rowCount())
        p->appendRow(it);
    else
        p->insertRow(row, it);
    return it;
}

void ShellTree::buildTop() {
    static QFileIconProvider icons;
    auto* home = addNode(nullptr, QDir::homePath(), tr("Home"));
    home->setData(true, kTopRole);
    home->setIcon(icons.icon(QFileIconProvider::Desktop));
    auto* root = addNode(nullptr, QStringLiteral("/"), tr("File System"));
    root->setData(true, kTopRole);
    root->setIcon(icons.icon(QFileIconProvider::Computer));
    for (const auto& v : volumes_()) {
        auto* it = addNode(nullptr, v.rootPath, v.caption);
        it->setData(true, kTopRole);
        it->setIcon(icons.icon(QFileIconProvider::Drive));
    }
}

void ShellTree::loadChildren(QStandardItem* item) {
    if (!item || item->data(kLoadedRole).toBool()) return;
    item->removeRows(0, item->rowCount());
    const QString p = pathOf(item);
    for (const auto& n : subfolders(p)) addNode(item, p + n, n);
    item->setData(true, kLoadedRole);
}

QStandardItem* ShellTree::findChildPath(QStandardItem* parent, const QString& path) const {
    for (int r = 0; r < parent->rowCount(); ++r)
        if (pathOf(parent->child(r)) == path) return parent->child(r);
    return nullptr;
}

QStandardItem* ShellTree::nodeAt(const QString& folder) const {
    const QString target = withTrailingSeparator(folder);
    // The deepest top node whose path holds the target: a volume before the
    // root, the home folder before the root.
    QStandardItem* best = nullptr;
    for (int r = 0; r < model_->rowCount(); ++r) {
        QStandardItem* t = model_->item(r);
        if (target.startsWith(pathOf(t)) && (!best || pathOf(t).size() > pathOf(best).size())) best = t;
    }
    if (!best) return nullptr;
    QStandardItem* cur = best;
    while (pathOf(cur) != target) {
        const_cast<ShellTree*>(this)->loadChildren(cur);
        const QString rest = target.mid(pathOf(cur).size());
        const QString next = pathOf(cur) + rest.section('/', 0, 0) + '/';
        QStandardItem* child = findChildPath(cur, next);
        if (!child) return nullptr;
        cur = child;
    }
    return cur;
}

bool ShellTree::setPath(const QString& folder) {
    if (!QFileInfo(folder).isDir()) return false;
    const QString target = withTrailingSeparator(QFileInfo(folder).absoluteFilePath());
    QStandardItem* node = nodeAt(target);
    if (!node) {
        // A folder the tree does not list yet (created a moment ago): re-read
        // the nodes on the way and try again.
        resync();
        node = nodeAt(target);
        if (!node) return false;
    }
    for (QStandardItem* p = node->parent(); p; p = p->parent()) expand(p->index());
    setCurrentIndex(node->index());
    scrollTo(node->index());
    return true;
}

QString ShellTree::selectedPath() const { return pathOf(model_->itemFromIndex(currentIndex())); }

QString ShellTree::selectedCaption() const {
    auto* it = model_->itemFromIndex(currentIndex());
    return it ? it->text() : QString();
}

bool ShellTree::selectedIsTopLevel() const {
    auto* it = model_->itemFromIndex(currentIndex());
    return it && it->data(kTopRole).toBool();
}

void ShellTree::onSelection() {
    const QString p = selectedPath();
    if (p.isEmpty() || p == lastPath_) return;
    lastPath_ = p;
    if (!quiet_) emit pathChanged(p);
}

bool ShellTree::invokeVerb(const QString& verb) {
    const QString p = selectedPath();
    if (p.isEmpty()) return false;
    QString target = p;
    if (verb != QLatin1String("paste") && target.size() > 1) target.chop(1);
    const bool ok = vek::shell::invokeVerb(verb, {target}, window());
    if (verb == QLatin1String("delete") || verb == QLatin1String("paste")) resync();
    return ok;
}

void ShellTree::goUp() {
    const QString p = selectedPath();
    if (p.isEmpty() || p == QLatin1String("/")) return;
    QDir d(p);
    if (d.cdUp()) setPath(d.absolutePath());
}

void ShellTree::refreshTree() {
    const QString keep = selectedPath();
    quiet_ = true;
    model_->clear();
    buildTop();
    quiet_ = false;
    lastPath_.clear();
    if (!keep.isEmpty() && !setPath(keep)) setPath(QDir::homePath());
}

void ShellTree::resyncNode(QStandardItem* item) {
    // Not loaded yet: its folders are read when it is opened. (Checking every
    // closed node's expander each tick would read hundreds of folders every
    // three seconds.)
    if (!item->data(kLoadedRole).toBool()) return;
    const QString p = pathOf(item);
    const QStringList now = subfolders(p);
    for (int r = item->rowCount() - 1; r >= 0; --r)
        if (!now.contains(item->child(r)->text())) item->removeRow(r);
    for (int i = 0; i < now.size(); ++i) {
        if (!findChildPath(item, p + now[i] + '/')) {
            // Keep the sorted order: insert before the first larger name.
            int row = 0;
            while (row < item->rowCount() && item->child(row)->text().compare(now[i], Qt::CaseInsensitive) < 0) ++row;
            addNode(item, p + now[i], now[i], row);
        }
    }
    for (int r = 0; r < item->rowCount(); ++r) {
        QStandardItem* c = item->child(r);
        if (isExpanded(c->index()))
            resyncNode(c);
        else if (c->data(kLoadedRole).toBool()) {
            // Collapsed: forget its children; they are read again when opened.
            c->removeRows(0, c->rowCount());
            c->setData(false, kLoadedRole);
            if (hasSubfolders(pathOf(c))) c->appendRow(new QStandardItem);
        }
    }
}

void ShellTree::resync() {
    QApplication::processEvents();  // lets pending messages through first
    const QString before = selectedPath();
    quiet_ = true;
    // Volumes that vanished go, new ones are added after the others.
    const QList<Volume> vols = volumes_();
    for (int r = model_->rowCount() - 1; r >= 2; --r) {
        const QString p = pathOf(model_->item(r));
        bool still = false;
        for (const auto& v : vols) still = still || withTrailingSeparator(v.rootPath) == p;
        if (!still || !QFileInfo(p).isDir()) model_->removeRow(r);
    }
    static QFileIconProvider icons;
    for (const auto& v : vols) {
        bool have = false;
        for (int r = 2; r < model_->rowCount(); ++r) have = have || pathOf(model_->item(r)) == withTrailingSeparator(v.rootPath);
        if (!have && QFileInfo(v.rootPath).isDir()) {
            auto* it = addNode(nullptr, v.rootPath, v.caption);
            it->setData(true, kTopRole);
            it->setIcon(icons.icon(QFileIconProvider::Drive));
        }
    }
    for (int r = 0; r < model_->rowCount(); ++r) resyncNode(model_->item(r));
    quiet_ = false;
    // The selected folder may have gone: fall back to its nearest ancestor still listed.
    QString p = selectedPath();
    if (p.isEmpty() && !before.isEmpty()) {
        QString up = before;
        while (!up.isEmpty() && up != QLatin1String("/")) {
            up.chop(1);
            up = up.left(up.lastIndexOf('/') + 1);
            if (QFileInfo(up).isDir() && nodeAt(up)) break;
        }
        if (up.isEmpty() || !nodeAt(up)) up = withTrailingSeparator(QDir::homePath());
        setPath(up);
    } else if (p != lastPath_) {
        onSelection();
    }
}

void ShellTree::connectNetworkDrive() {
    // Network shares are mounted by the desktop; this picks a mounted one.
    const QString dir = QFileDialog::getExistingDirectory(window(), tr("Map Network Drive"), QStringLiteral("/"));
    if (!dir.isEmpty()) setPath(dir);
}

void ShellTree::focusInEvent(QFocusEvent* e) {
    QTreeView::focusInEvent(e);
    emit entered();
}

void ShellTree::keyReleaseEvent(QKeyEvent* e) {
    QTreeView::keyReleaseEvent(e);
    emit keyReleased(e->key(), e->modifiers());
}

void ShellTree::contextMenuEvent(QContextMenuEvent* e) {
    const QModelIndex at = indexAt(e->pos());
    if (at.isValid()) setCurrentIndex(at);
    if (selectedPath().isEmpty()) return;
    QMenu m(this);
    const bool top = selectedIsTopLevel();
    m.addAction(tr("&Open"), this, [this] { invokeVerb(QStringLiteral("open")); });
    m.addAction(tr("&Find..."), this, [this] {
        // The window that owns the tree shows what is found; a tree on its own
        // opens a plain find dialog.
        if (isSignalConnected(QMetaMethod::fromSignal(&ShellTree::findRequested)))
            emit findRequested(selectedPath());
        else
            invokeVerb(QStringLiteral("find"));
    });
    m.addSeparator();
    m.addAction(tr("Cu&t"), this, [this] { invokeVerb(QStringLiteral("cut")); })->setEnabled(!top);
    m.addAction(tr("&Copy"), this, [this] { invokeVerb(QStringLiteral("copy")); });
    m.addAction(tr("&Paste"), this, [this] { invokeVerb(QStringLiteral("paste")); })
        ->setEnabled(!vek::shell::clipboardFiles().paths.isEmpty());
    m.addSeparator();
    m.addAction(tr("&Delete"), this, [this] { invokeVerb(QStringLiteral("delete")); })->setEnabled(!top);
    m.addAction(tr("New &Folder"), this, [this] {
        const QString p = vek::shell::freeNewFolderPath(selectedPath());
        if (QDir().mkdir(p)) resync();
    });
    m.addSeparator();
    m.addAction(tr("P&roperties"), this, [this] { invokeVerb(QStringLiteral("properties")); });
    if (!extra_.isEmpty()) {
        m.addSeparator();
        m.addActions(extra_);
    }
    m.exec(e->globalPos());
}

void ShellTree::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void ShellTree::dragMoveEvent(QDragMoveEvent* e) {
    const QModelIndex at = indexAt(e->position().toPoint());
    if (at.isValid() && e->mimeData()->hasUrls()) {
        e->setDropAction(Qt::CopyAction);
        e->accept();
    } else {
        e->ignore();
    }
}

void ShellTree::dropEvent(QDropEvent* e) {
    const QModelIndex at = indexAt(e->position().toPoint());
    auto* it = model_->itemFromIndex(at);
    if (!it) return;
    QString err;
    vek::shell::pasteFiles(vek::shell::readFileMimeData(e->mimeData()).paths, pathOf(it), false, window(), &err);
    if (!err.isEmpty()) QMessageBox::warning(window(), tr("Copy"), err.trimmed());
    e->setDropAction(Qt::CopyAction);
    e->accept();
    resync();
}

// ------------------------------------------------------------------ combo

ShellCombo::ShellCombo(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    connect(this, qOverload<int>(&QComboBox::activated), this, [this](int i) { setItemIndex(i); });
}

void ShellCombo::setPath(const QString& folder, const QList<Volume>& top) {
    static QFileIconProvider icons;
    const QString target = withTrailingSeparator(folder);
    QSignalBlocker block(this);
    clear();
    // The top node holding the folder: the longest path that is a prefix.
    int holder = -1;
    for (int i = 0; i < top.size(); ++i)
        if (target.startsWith(top[i].rootPath) && (holder < 0 || top[i].rootPath.size() > top[holder].rootPath.size()))
            holder = i;
    int current = -1;
    for (int i = 0; i < top.size(); ++i) {
        addItem(icons.icon(QFileIconProvider::Drive), top[i].caption, top[i].rootPath);
        if (i == holder) {
            current = count() - 1;
            const QString rest = target.mid(top[i].rootPath.size());
            QString acc = top[i].rootPath;
            int depth = 1;
            for (const auto& part : rest.split('/', Qt::SkipEmptyParts)) {
                acc += part + '/';
                addItem(icons.icon(QFileIconProvider::Folder), QString(depth * 3, ' ') + part, acc);
                current = count() - 1;
                ++depth;
            }
        }
    }
    setCurrentIndex(current);
}

QString ShellCombo::itemPath(int i) const { return itemData(i).toString(); }

void ShellCombo::setItemIndex(int i) {
    if (i < 0 || i >= count()) return;
    setCurrentIndex(i);
    emit pathChosen(itemPath(i));
}

void ShellCombo::keyReleaseEvent(QKeyEvent* e) {
    QComboBox::keyReleaseEvent(e);
    emit keyReleased(e->key(), e->modifiers());
}

// ------------------------------------------------------------------- link

ShellLink::ShellLink(ShellCombo* combo, ShellTree* tree, ShellListView* list, QObject* parent)
    : QObject(parent), combo_(combo), tree_(tree), list_(list) {
    connect(tree_, &ShellTree::pathChanged, this, &ShellLink::go);
    connect(list_, &ShellListView::folderActivated, this, &ShellLink::go);
    connect(combo_, &ShellCombo::pathChosen, this, &ShellLink::go);
    connect(list_, &ShellListView::pathChanged, this, &ShellLink::go);
}

void ShellLink::go(const QString& folder) {
    if (busy_) return;
    busy_ = true;
    const QString p = withTrailingSeparator(folder);
    if (tree_->selectedPath() != p) tree_->setPath(p);
    if (list_->path() != p) list_->setPath(p);
    combo_->setPath(p, tree_->topNodes());
    busy_ = false;
}

}  // namespace vek::shellwidgets
