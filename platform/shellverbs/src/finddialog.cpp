// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/shellverbs.hpp"
#include "vek/platform/fileops.hpp"

#include <QApplication>
#include <QDirIterator>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>

namespace vek::shell {

namespace {
constexpr int kMaxResults = 5000;
}

FindDialog::FindDialog(const QString& folder, QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Find: Files or Folders"));
    pattern_ = new QLineEdit(QStringLiteral("*"));
    folder_ = new QLineEdit(folder);
    findBtn_ = new QPushButton(tr("Find Now"));
    stopBtn_ = new QPushButton(tr("Stop"));
    stopBtn_->setEnabled(false);
    findBtn_->setDefault(true);
    list_ = new QTreeWidget;
    list_->setHeaderLabels({tr("Name"), tr("In Folder"), tr("Size"), tr("Modified")});
    list_->setRootIsDecorated(false);
    list_->header()->setSectionResizeMode(QHeaderView::Interactive);
    status_ = new QLabel;
    auto* g = new QGridLayout(this);
    // Each label names its field (Alt+N, Alt+L), so the mnemonic shows as one.
    auto* named = new QLabel(tr("&Named:"));
    named->setBuddy(pattern_);
    auto* lookIn = new QLabel(tr("&Look in:"));
    lookIn->setBuddy(folder_);
    g->addWidget(named, 0, 0);
    g->addWidget(pattern_, 0, 1);
    g->addWidget(findBtn_, 0, 2);
    g->addWidget(lookIn, 1, 0);
    g->addWidget(folder_, 1, 1);
    g->addWidget(stopBtn_, 1, 2);
    g->addWidget(list_, 2, 0, 1, 3);
    g->addWidget(status_, 3, 0, 1, 3);
    resize(560, 380);
    connect(findBtn_, &QPushButton::clicked, this, [this] { search(); });
    connect(stopBtn_, &QPushButton::clicked, this, [this] { stop_ = true; });
    connect(list_, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* it) { activateResult(list_->indexOfTopLevelItem(it)); });
}

void FindDialog::setPattern(const QString& pattern) { pattern_->setText(pattern); }

int FindDialog::search() {
    list_->clear();
    results_.clear();
    stop_ = false;
    QStringList masks = splitMasks(pattern_->text());
    // A bare word finds names containing it, as the shell's search does.
    for (auto& m : masks)
        if (!m.contains('*') && !m.contains('?')) m = '*' + m + '*';
    if (masks.isEmpty()) masks << QStringLiteral("*");
    const QString root = folder_->text();
    if (!QFileInfo(root).isDir()) {
        status_->setText(tr("The folder %1 does not exist.").arg(root));
        return 0;
    }
    findBtn_->setEnabled(false);
    stopBtn_->setEnabled(true);
    QLocale loc;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    int seen = 0;
    while (it.hasNext() && !stop_ && results_.size() < kMaxResults) {
        it.next();
        const QFileInfo fi = it.fileInfo();
        if (++seen % 256 == 0) QApplication::processEvents();  // keeps Stop reachable
        if (!matchesAnyMask(fi.fileName(), masks)) continue;
        results_ << fi.absoluteFilePath();
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, fi.fileName());
        item->setText(1, fi.absolutePath());
        item->setText(2, fi.isDir() ? QString() : loc.formattedDataSize(fi.size()));
        item->setText(3, loc.toString(fi.lastModified(), QLocale::ShortFormat));
    }
    findBtn_->setEnabled(true);
    stopBtn_->setEnabled(false);
    status_->setText(tr("%1 file(s) found").arg(results_.size()));
    return static_cast<int>(results_.size());
}

void FindDialog::activateResult(int index) {
    if (index < 0 || index >= results_.size()) return;
    const QFileInfo fi(results_[index]);
    emit showInFolder(fi.absolutePath(), fi.fileName());
}

FindDialog* openFindDialog(QWidget* owner, const QString& folder,
                           std::function<void(const QString&, const QString&)> show) {
    auto* d = new FindDialog(folder, owner);
    d->setAttribute(Qt::WA_DeleteOnClose);
    if (show) QObject::connect(d, &FindDialog::showInFolder, d, std::move(show));
    d->show();
    return d;
}

}  // namespace vek::shell
