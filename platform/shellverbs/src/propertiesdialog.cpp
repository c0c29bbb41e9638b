// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/shellverbs.hpp"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QDirIterator>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QVBoxLayout>

namespace vek::shell {
namespace {

QString permissionText(QFile::Permissions p) {
    const char* letters = "rwx";
    const QFile::Permission bits[9] = {QFile::ReadOwner, QFile::WriteOwner, QFile::ExeOwner,
                                       QFile::ReadGroup, QFile::WriteGroup, QFile::ExeGroup,
                                       QFile::ReadOther, QFile::WriteOther, QFile::ExeOther};
    QString s;
    for (int i = 0; i < 9; ++i) s += (p & bits[i]) ? QChar(letters[i % 3]) : QChar('-');
    return s;
}

// Size of a folder's contents, files counted once, links not followed.
void folderTotals(const QString& path, qint64& bytes, qint64& files, qint64& folders) {
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo fi = it.fileInfo();
        if (fi.isDir() && !fi.isSymLink())
            ++folders;
        else {
            ++files;
            if (!fi.isSymLink()) bytes += fi.size();
        }
    }
}

QString sizeText(qint64 bytes) {
    QLocale loc;
    return QObject::tr("%1 (%2 bytes)").arg(loc.formattedDataSize(bytes), loc.toString(bytes));
}

}  // namespace

PropertiesDialog::PropertiesDialog(const QStringList& paths, QWidget* parent) : QDialog(parent) {
    auto* form = new QFormLayout;
    auto add = [&](const QString& label, const QString& value) {
        labels_ << label;
        values_ << value;
        auto* v = new QLabel(value);
        v->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(label + ':', v);
    };
    QLocale loc;
    auto date = [&](const QDateTime& d) { return d.isValid() ? loc.toString(d, QLocale::LongFormat) : QString(); };
    if (paths.size() == 1) {
        const QFileInfo fi(paths.front());
        setWindowTitle(tr("%1 Properties").arg(fi.fileName().isEmpty() ? fi.absoluteFilePath() : fi.fileName()));
        add(tr("Name"), fi.fileName().isEmpty() ? fi.absoluteFilePath() : fi.fileName());
        add(tr("Type"), fi.isDir() ? tr("Folder") : QMimeDatabase().mimeTypeForFile(fi).comment());
        add(tr("Location"), fi.absolutePath());
        if (fi.isDir()) {
            qint64 bytes = 0, files = 0, folders = 0;
            folderTotals(fi.absoluteFilePath(), bytes, files, folders);
            add(tr("Size"), sizeText(bytes));
            add(tr("Contains"), tr("%1 Files, %2 Folders").arg(files).arg(folders));
        } else {
            add(tr("Size"), sizeText(fi.size()));
        }
        add(tr("Created"), date(fi.birthTime()));
        add(tr("Modified"), date(fi.lastModified()));
        add(tr("Accessed"), date(fi.lastRead()));
        add(tr("Permissions"), permissionText(fi.permissions()) + (fi.isWritable() ? QString() : tr(" (read-only)")));
        add(tr("Owner"), fi.owner() + ':' + fi.group());
    } else {
        setWindowTitle(tr("Properties"));
        qint64 bytes = 0, files = 0, folders = 0;
        for (const auto& p : paths) {
            const QFileInfo fi(p);
            if (fi.isDir()) {
                ++folders;
                folderTotals(p, bytes, files, folders);
            } else {
                ++files;
                bytes += fi.size();
            }
        }
        add(tr("Name"), tr("%1 items").arg(paths.size()));
        add(tr("Location"), QFileInfo(paths.front()).absolutePath());
        add(tr("Size"), sizeText(bytes));
        add(tr("Contains"), tr("%1 Files, %2 Folders").arg(files).arg(folders));
    }
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* lay = new QVBoxLayout(this);
    lay->addLayout(form);
    lay->addWidget(box);
}

QString PropertiesDialog::field(const QString& label) const {
    const auto i = labels_.indexOf(label);
    return i < 0 ? QString() : values_[i];
}

}  // namespace vek::shell
