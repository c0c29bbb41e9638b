// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/shellwidgets/shellwidgets.hpp"

#include "vek/platform/fileops.hpp"
#include "vek/platform/shellverbs.hpp"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileIconProvider>
#include <QFileSystemWatcher>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMimeDatabase>
#include <QStackedLayout>
#include <QStandardPaths>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

#include <algorithm>

namespace vek::shellwidgets {

using vek::shell::matchesAnyMask;
using vek::shell::withTrailingSeparator;

// ------------------------------------------------------------------ model

ShellListModel::ShellListModel(QObject* parent) : QAbstractTableModel(parent) {}

bool ShellListModel::accepted(const QFileInfo& fi) const {
    // Folders stay visible whatever the filter, so that one can move on.
    return fi.isDir() || matchesAnyMask(fi.fileName(), masks_);
}

QFileInfoList ShellListModel::readFolder(bool* ok) const {
    QDir d(folder_);
    *ok = d.exists() && d.isReadable();
    if (!*ok) return {};
    QFileInfoList out;
    for (const auto& fi : d.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        if (accepted(fi)) out << fi;
    return out;
}

bool ShellListModel::populate(const QString& folder) {
    beginResetModel();
    folder_ = withTrailingSeparator(folder);
    bool ok = false;
    QFileInfoList infos = readFolder(&ok);
    std::stable_sort(infos.begin(), infos.end(), [](const QFileInfo& a, const QFileInfo& b) {
        if (a.isDir() != b.isDir()) return a.isDir();
        return a.fileName().compare(b.fileName(), Qt::CaseInsensitive) < 0;
    });
    entries_.assign(infos.begin(), infos.end());
    endResetModel();
    return ok;
}

void ShellListModel::reread() {
    bool ok = false;
    const QFileInfoList now = readFolder(&ok);
    QHash<QString, QFileInfo> present;
    for (const auto& fi : now) present.insert(fi.fileName(), fi);
    // Vanished entries go, from the back so that rows stay valid.
    for (int r = count() - 1; r >= 0; --r) {
        if (!present.contains(name(r))) {
            beginRemoveRows({}, r, r);
            entries_.erase(entries_.begin() + r);
            endRemoveRows();
        }
    }
    QSet<QString> kept;
    for (int r = 0; r < count(); ++r) {
        kept.insert(name(r));
        QFileInfo fresh = present.value(name(r));
        if (fresh.size() != entries_[std::size_t(r)].size() ||
            fresh.lastModified() != entries_[std::size_t(r)].lastModified()) {
            entries_[std::size_t(r)] = fresh;
            emit dataChanged(index(r, 0), index(r, ColumnCount - 1));
        }
    }
    // New ones are appended in the order the folder lists them.
    QFileInfoList added;
    for (const auto& fi : now)
        if (!kept.contains(fi.fileName())) added << fi;
    if (!added.isEmpty()) {
        beginInsertRows({}, count(), count() + int(added.size()) - 1);
        for (const auto& fi : added) entries_.push_back(fi);
        endInsertRows();
    }
}

void ShellListModel::removeByName(const QString& n) {
    for (int r = count() - 1; r >= 0; --r) {
        if (name(r).compare(n, Qt::CaseInsensitive) == 0) {
            beginRemoveRows({}, r, r);
            entries_.erase(entries_.begin() + r);
            endRemoveRows();
        }
    }
}

int ShellListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : count(); }
int ShellListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QIcon ShellListModel::iconFor(const QFileInfo& fi) const {
    static QFileIconProvider provider;
    if (fi.isDir()) {
        auto it = iconCache_.find(QStringLiteral("/"));
        if (it == iconCache_.end()) it = iconCache_.insert(QStringLiteral("/"), provider.icon(fi));
        return *it;
    }
    // The desktop's picture for the file's type, found by name only (the
    // contents of a file on the recorder's drive are not read for a picture):
    // the type's own icon, then its generic one ("audio-x-generic"), then the
    // plain document. A type the desktop registers later (SC4 voice files)
    // brings its picture along without a change here.
    static QMimeDatabase db;
    const QMimeType type = db.mimeTypeForFile(fi.fileName(), QMimeDatabase::MatchExtension);
    const QString key = type.name();
    auto it = iconCache_.find(key);
    if (it == iconCache_.end()) {
        QIcon icon = QIcon::fromTheme(type.iconName());
        if (icon.isNull()) icon = QIcon::fromTheme(type.genericIconName());
        if (icon.isNull()) icon = provider.icon(fi);
        it = iconCache_.insert(key, icon);
    }
    return *it;
}

QString ShellListModel::typeFor(const QFileInfo& fi) const {
    if (fi.isDir()) return tr("File Folder");
    const QString suffix = fi.suffix().toLower();
    if (suffix == QLatin1String("sc4")) return tr("SC4 Voice File");
    auto it = typeCache_.find(suffix);
    if (it == typeCache_.end()) {
        static QMimeDatabase db;
        QString t = suffix.isEmpty() ? tr("File") : db.mimeTypeForFile(fi.fileName(), QMimeDatabase::MatchExtension).comment();
        it = typeCache_.insert(suffix, t);
    }
    return *it;
}

QVariant ShellListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= count()) return {};
    const QFileInfo& fi = info(index.row());
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        switch (index.column()) {
        case ColName: return fi.fileName();
        case ColSize:
            if (fi.isDir()) return QString();
            // As the shell lists them: whole KB, rounded up, at least 1 KB for non-empty files.
            return QLocale().toString((fi.size() + 1023) / 1024) + QStringLiteral(" KB");
        case ColType: return typeFor(fi);
        case ColModified: return QLocale().toString(fi.lastModified(), QLocale::ShortFormat);
        }
    }
    if (role == Qt::DecorationRole && index.column() == ColName) return iconFor(fi);
    if (role == Qt::TextAlignmentRole && index.column() == ColSize)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ToolTipRole) return fi.absoluteFilePath();
    return {};
}

QVariant ShellListModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
    case ColName: return tr("Name");
    case ColSize: return tr("Size");
    case ColType: return tr("Type");
    case ColModified: return tr("Modified");
    }
    return {};
}

Qt::ItemFlags ShellListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index) | Qt::ItemIsDropEnabled;
    if (!index.isValid()) return f;
    f |= Qt::ItemIsDragEnabled;
    if (!readOnly_ && index.column() == ColName) f |= Qt::ItemIsEditable;
    return f;
}

bool ShellListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || index.column() != ColName || readOnly_) return false;
    const QString newName = value.toString().trimmed();
    const QString oldName = name(index.row());
    if (newName.isEmpty() || newName == oldName) return false;
    if (newName.contains('/') || newName == QLatin1String(".") || newName == QLatin1String("..")) {
        QMessageBox::warning(nullptr, tr("Rename"), tr("A file name cannot contain /."));
        return false;
    }
    const QString target = folder_ + newName;
    // A name that differs from the old one only in case is the same entry on
    // a case-insensitive volume (the recorder's drive) and a rename there.
    if (QFileInfo::exists(target) && newName.compare(oldName, Qt::CaseInsensitive) != 0) {
        QMessageBox::warning(nullptr, tr("Rename"),
                             tr("Cannot rename %1: an item named %2 already exists.").arg(oldName, newName));
        return false;
    }
    if (!QFile::rename(folder_ + oldName, target)) {
        QMessageBox::warning(nullptr, tr("Rename"), tr("Cannot rename %1.").arg(oldName));
        return false;
    }
    entries_[std::size_t(index.row())] = QFileInfo(target);
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), ColumnCount - 1));
    return true;
}

QStringList ShellListModel::mimeTypes() const {
    return {QStringLiteral("text/uri-list"), QStringLiteral("x-special/gnome-copied-files")};
}

QMimeData* ShellListModel::mimeData(const QModelIndexList& indexes) const {
    QStringList paths;
    QSet<int> rows;
    for (const auto& i : indexes)
        if (i.isValid() && !rows.contains(i.row())) {
            rows.insert(i.row());
            paths << pathOf(i.row());
        }
    return vek::shell::makeFileMimeData(paths, false);
}

Qt::DropActions ShellListModel::supportedDropActions() const { return Qt::CopyAction; }
Qt::DropActions ShellListModel::supportedDragActions() const { return Qt::CopyAction | Qt::MoveAction; }

bool ShellListModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int,
                                     const QModelIndex&) const {
    if (!data || !data->hasUrls() || folder_.isEmpty()) return false;
    return !vek::shell::readFileMimeData(data).paths.isEmpty();  // onto a file: into the folder
}

bool ShellListModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                  const QModelIndex& parent) {
    if (!canDropMimeData(data, action, row, column, parent)) return false;
    QString target = folder_;
    if (parent.isValid() && info(parent.row()).isDir()) target = pathOf(parent.row());
    // Entries dropped back into the folder they come from stay where they are.
    QStringList sources;
    for (const auto& p : vek::shell::readFileMimeData(data).paths)
        if (vek::shell::withTrailingSeparator(QFileInfo(p).absolutePath()) != vek::shell::withTrailingSeparator(target))
            sources << p;
    if (sources.isEmpty()) return false;
    QString err;
    // Dropped files are copied, never moved, whatever the source offered.
    const QStringList written = vek::shell::pasteFiles(sources, target, false, nullptr, &err);
    if (!err.isEmpty()) QMessageBox::warning(nullptr, tr("Copy"), err.trimmed());
    emit filesDropped(written);
    return !written.isEmpty();
}

// ------------------------------------------------------------------- view

ShellListView::ShellListView(QWidget* parent) : QWidget(parent) {
    model_ = new ShellListModel(this);
    sel_ = new QItemSelectionModel(model_, this);
    list_ = new QListView;
    report_ = new QTreeView;
    for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(list_), static_cast<QAbstractItemView*>(report_)}) {
        v->setModel(model_);
        v->setSelectionModel(sel_);
        v->setSelectionMode(QAbstractItemView::ExtendedSelection);
        // A click selects the whole entry (every column), in the icon and list
        // styles too, where only the name is drawn.
        v->setSelectionBehavior(QAbstractItemView::SelectRows);
        // Renaming starts with F2 or the menu: a click on a selected item only
        // narrows the selection to it.
        v->setEditTriggers(QAbstractItemView::EditKeyPressed);
        v->setDragEnabled(true);
        v->setAcceptDrops(true);
        v->setDropIndicatorShown(true);
        v->setDragDropMode(QAbstractItemView::DragDrop);
        v->setDefaultDropAction(Qt::CopyAction);
        v->setContextMenuPolicy(Qt::CustomContextMenu);
        v->installEventFilter(this);
        v->viewport()->installEventFilter(this);
        connect(v, &QAbstractItemView::activated, this, &ShellListView::activate);
        connect(v, &QWidget::customContextMenuRequested, this, [this, v](const QPoint& pos) {
            QModelIndex at = v->indexAt(pos);
            if (at.isValid() && !isSelected(at.row())) {
                sel_->select(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
                sel_->setCurrentIndex(at, QItemSelectionModel::NoUpdate);
            }
            QMenu* m = buildContextMenu();
            m->exec(v->viewport()->mapToGlobal(pos));
            m->deleteLater();
        });
    }
    report_->setRootIsDecorated(false);
    report_->setItemsExpandable(false);
    report_->setUniformRowHeights(true);
    report_->setAllColumnsShowFocus(true);
    report_->header()->resizeSection(ShellListModel::ColName, 180);
    report_->header()->resizeSection(ShellListModel::ColSize, 80);
    report_->header()->resizeSection(ShellListModel::ColType, 120);
    list_->setResizeMode(QListView::Adjust);
    list_->setMovement(QListView::Static);
    list_->setWordWrap(true);
    stack_ = new QStackedLayout(this);
    stack_->setContentsMargins(0, 0, 0, 0);
    stack_->addWidget(list_);
    stack_->addWidget(report_);
    setViewStyle(vsReport);
    connect(sel_, &QItemSelectionModel::selectionChanged, this, &ShellListView::selectionChanged);
    connect(model_, &ShellListModel::filesDropped, this, [this] { reread(); });

    watcher_ = new QFileSystemWatcher(this);
    monitorTimer_ = new QTimer(this);
    monitorTimer_->setSingleShot(true);
    monitorTimer_->setInterval(150);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, monitorTimer_, qOverload<>(&QTimer::start));
    connect(monitorTimer_, &QTimer::timeout, this, [this] {
        if (!path().isEmpty()) reread();
    });
}

void ShellListView::setMonitorDelay(int ms) { monitorTimer_->setInterval(ms); }

QAbstractItemView* ShellListView::currentView() const {
    return style_ == vsReport ? static_cast<QAbstractItemView*>(report_) : list_;
}

QString ShellListView::path() const { return model_->folder(); }

void ShellListView::watch() {
    const QStringList old = watcher_->directories();
    if (!old.isEmpty()) watcher_->removePaths(old);
    if (!path().isEmpty()) watcher_->addPath(path());
}

void ShellListView::setPath(const QString& folder) {
    const QString p = withTrailingSeparator(folder);
    const bool changed = p != path();
    model_->populate(p);
    watch();
    if (changed) emit pathChanged(path());
    emit populated();
}

void ShellListView::setFilter(const QString& filter) {
    filter_ = filter;
    QStringList masks = vek::shell::splitMasks(filter);
    if (masks.isEmpty()) masks << QStringLiteral("*");
    model_->setMasks(masks);
    if (!path().isEmpty()) {
        model_->populate(path());
        emit populated();
    }
}

void ShellListView::setViewStyle(ViewStyle s) {
    const bool hadFocus = listHasFocus();
    style_ = s;
    switch (s) {
    case vsIcon:
        list_->setViewMode(QListView::IconMode);
        list_->setFlow(QListView::LeftToRight);
        list_->setWrapping(true);
        list_->setIconSize(QSize(32, 32));
        list_->setGridSize(QSize(86, 70));
        break;
    case vsSmallIcon:
        list_->setViewMode(QListView::ListMode);
        list_->setFlow(QListView::LeftToRight);
        list_->setWrapping(true);
        list_->setIconSize(QSize(16, 16));
        list_->setGridSize(QSize(160, 20));
        break;
    case vsList:
        list_->setViewMode(QListView::ListMode);
        list_->setFlow(QListView::TopToBottom);
        list_->setWrapping(true);
        list_->setIconSize(QSize(16, 16));
        list_->setGridSize(QSize());
        break;
    case vsReport: break;
    }
    list_->setDragDropMode(QAbstractItemView::DragDrop);  // setViewMode resets it
    list_->setMovement(QListView::Static);
    stack_->setCurrentWidget(currentView());
    setFocusProxy(currentView());
    if (hadFocus) focusList();
}

QString ShellListView::viewStyleName(ViewStyle s) {
    switch (s) {
    case vsIcon: return QStringLiteral("vsIcon");
    case vsSmallIcon: return QStringLiteral("vsSmallIcon");
    case vsList: return QStringLiteral("vsList");
    case vsReport: return QStringLiteral("vsReport");
    }
    return {};
}

bool ShellListView::viewStyleFromName(const QString& n, ViewStyle* s) {
    for (ViewStyle v : {vsIcon, vsSmallIcon, vsList, vsReport})
        if (n == viewStyleName(v)) {
            *s = v;
            return true;
        }
    return false;
}

int ShellListView::itemCount() const { return model_->count(); }
// An entry counts as selected when its name is: the icon and list styles
// show (and select) only that column.
int ShellListView::selectedCount() const {
    int n = 0;
    for (const QModelIndex& i : sel_->selectedIndexes())
        if (i.column() == ShellListModel::ColName) ++n;
    return n;
}

int ShellListView::firstSelected() const {
    for (int i = 0; i < itemCount(); ++i)
        if (isSelected(i)) return i;
    return -1;
}

QString ShellListView::itemName(int i) const { return i >= 0 && i < itemCount() ? model_->name(i) : QString(); }
bool ShellListView::isSelected(int i) const {
    return i >= 0 && i < itemCount() && sel_->isSelected(model_->index(i, ShellListModel::ColName));
}

int ShellListView::indexOfName(const QString& name) const {
    for (int i = 0; i < itemCount(); ++i)
        if (model_->name(i) == name) return i;
    for (int i = 0; i < itemCount(); ++i)
        if (model_->name(i).compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

void ShellListView::setSelected(int i, bool on) {
    if (i < 0 || i >= itemCount()) return;
    const QModelIndex idx = model_->index(i, 0);
    sel_->select(idx, (on ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) | QItemSelectionModel::Rows);
    if (on) sel_->setCurrentIndex(idx, QItemSelectionModel::NoUpdate);
}

void ShellListView::clearSelection() { sel_->clearSelection(); }

void ShellListView::selectAll() {
    if (itemCount() == 0) return;
    sel_->select(QItemSelection(model_->index(0, 0), model_->index(itemCount() - 1, ShellListModel::ColumnCount - 1)),
                 QItemSelectionModel::Select);
}

void ShellListView::editItem(int i) {
    if (i < 0 || i >= itemCount() || readOnly_) return;
    const QModelIndex idx = model_->index(i, 0);
    currentView()->setCurrentIndex(idx);
    currentView()->edit(idx);
}

QStringList ShellListView::selectedNames() const {
    QStringList out;
    for (int i = 0; i < itemCount(); ++i)
        if (isSelected(i)) out << model_->name(i);
    return out;
}

QStringList ShellListView::allNames() const {
    QStringList out;
    for (int i = 0; i < itemCount(); ++i) out << model_->name(i);
    return out;
}

QStringList ShellListView::selectedPaths() const {
    QStringList out;
    for (const auto& n : selectedNames()) out << path() + n;
    return out;
}

bool ShellListView::isDesktop() const {
    const QString desk = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return !path().isEmpty() && !desk.isEmpty() && path() == withTrailingSeparator(desk) &&
           withTrailingSeparator(desk) != withTrailingSeparator(QDir::homePath());
}

void ShellListView::setReadOnly(bool ro) {
    readOnly_ = ro;
    model_->setReadOnly(ro);
}

bool ShellListView::invokeVerb(const QString& verb) {
    if (verb == QLatin1String("rename")) {
        renameSelected();
        return true;
    }
    const QStringList paths = verb == QLatin1String("paste") ? QStringList{path()} : selectedPaths();
    const bool ok = vek::shell::invokeVerb(verb, paths, window());
    if (verb == QLatin1String("delete") || verb == QLatin1String("paste")) reread();
    return ok;
}

QStringList ShellListView::paste() {
    QString err;
    const QStringList written = vek::shell::pasteClipboard(path(), window(), &err);
    if (!err.isEmpty()) QMessageBox::warning(window(), tr("Paste"), err.trimmed());
    reread();
    return written;
}

void ShellListView::refresh() {
    if (path().isEmpty()) return;
    const QStringList keep = selectedNames();
    model_->populate(path());
    for (int i = 0; i < itemCount(); ++i)
        if (keep.contains(model_->name(i))) setSelected(i, true);
    emit populated();
}

void ShellListView::reread() {
    if (path().isEmpty()) return;
    model_->reread();
}

void ShellListView::showWrittenFile(const QString& name) {
    model_->removeByName(name);
    if (isDesktop()) return;
    reread();
    // Only the file itself is selected, and only when the list shows it: under
    // a filter that hides it, no other entry stands in for it.
    const int i = indexOfName(name);
    if (i >= 0) {
        setSelected(i, true);
        makeVisible(i);
    }
}

void ShellListView::makeVisible(int i) {
    if (i < 0 || i >= itemCount()) return;
    currentView()->scrollTo(model_->index(i, 0));
}

bool ShellListView::listHasFocus() const { return currentView()->hasFocus(); }
void ShellListView::focusList() { currentView()->setFocus(Qt::OtherFocusReason); }

void ShellListView::renameSelected() {
    const int i = sel_->currentIndex().isValid() && isSelected(sel_->currentIndex().row())
                      ? sel_->currentIndex().row() : firstSelected();
    editItem(i);
}

void ShellListView::newFolder() {
    if (path().isEmpty() || readOnly_) return;
    const QString p = vek::shell::freeNewFolderPath(path());
    if (!QDir().mkdir(p)) return;
    reread();
    const int last = itemCount() - 1;
    makeVisible(last);
    editItem(last);
}

QMenu* ShellListView::buildContextMenu() {
    auto* m = new QMenu(this);
    const bool any = selectedCount() > 0;
    m->addAction(tr("&Open"), this, [this] { invokeVerb(QStringLiteral("open")); })->setEnabled(any);
    m->addSeparator();
    m->addAction(tr("Cu&t"), this, [this] { invokeVerb(QStringLiteral("cut")); })->setEnabled(any);
    m->addAction(tr("&Copy"), this, [this] { invokeVerb(QStringLiteral("copy")); })->setEnabled(any);
    m->addAction(tr("&Paste"), this, [this] { paste(); })->setEnabled(!vek::shell::clipboardFiles().paths.isEmpty());
    m->addSeparator();
    m->addAction(tr("&Delete"), this, [this] { invokeVerb(QStringLiteral("delete")); })->setEnabled(any);
    m->addAction(tr("Rena&me"), this, [this] { renameSelected(); })->setEnabled(any && !readOnly_);
    m->addAction(tr("New &Folder"), this, [this] { newFolder(); })->setEnabled(!readOnly_);
    m->addSeparator();
    m->addAction(tr("P&roperties"), this, [this] {
        vek::shell::invokeVerb(QStringLiteral("properties"), selectedCount() ? selectedPaths() : QStringList{path()}, window());
    });
    if (!extra_.isEmpty()) {
        m->addSeparator();
        m->addActions(extra_);
    }
    return m;
}

void ShellListView::activate(const QModelIndex& idx) {
    if (!idx.isValid()) return;
    const QFileInfo& fi = model_->info(idx.row());
    if (fi.isDir()) {
        const QString p = withTrailingSeparator(fi.absoluteFilePath());
        emit folderActivated(p);
    } else {
        vek::shell::openWithDefaultApplication(fi.absoluteFilePath());
    }
}

bool ShellListView::eventFilter(QObject* o, QEvent* e) {
    if (e->type() == QEvent::KeyRelease && (o == list_ || o == report_)) {
        auto* k = static_cast<QKeyEvent*>(e);
        emit keyReleased(k->key(), k->modifiers());
    } else if (e->type() == QEvent::KeyPress && (o == list_ || o == report_)) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Backspace && k->modifiers() == Qt::NoModifier) {
            // Backspace goes to the parent folder, as in the shell.
            QDir d(path());
            if (d.cdUp()) emit folderActivated(withTrailingSeparator(d.absolutePath()));
            return true;
        }
        if (k->key() == Qt::Key_F2) {
            renameSelected();
            return true;
        }
    } else if (e->type() == QEvent::MouseButtonRelease && (o == list_->viewport() || o == report_->viewport())) {
        // After the view has handled it, so that the selection is current.
        QTimer::singleShot(0, this, &ShellListView::mouseReleased);
    }
    return QWidget::eventFilter(o, e);
}

}  // namespace vek::shellwidgets
