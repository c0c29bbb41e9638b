// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/platform/shellverbs.hpp"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace vek::shell {
namespace {
QuestionFn g_question;
NoticeFn g_notice;
}

void setQuestionHandler(QuestionFn fn) { g_question = std::move(fn); }
void setNoticeHandler(NoticeFn fn) { g_notice = std::move(fn); }

void notify(QWidget* owner, const QString& title, const QString& text) {
    if (g_notice) return g_notice(owner, title, text);
    QMessageBox::warning(owner, title, text);
}

bool ask(QWidget* owner, const QString& title, const QString& text) {
    if (g_question) return g_question(owner, title, text);
    QString t = text;
    t.replace('\r', '\n');
    return QMessageBox::question(owner, title, t, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
}

int deleteToTrash(const QStringList& paths, QWidget* owner) {
    if (paths.isEmpty()) return 0;
    const QString text = paths.size() == 1
        ? QObject::tr("Are you sure you want to move '%1' to the trash?").arg(QFileInfo(paths.front()).fileName())
        : QObject::tr("Are you sure you want to move these %1 items to the trash?").arg(paths.size());
    if (!ask(owner, QObject::tr("Confirm Delete"), text)) return 0;
    int moved = 0;
    QStringList failed;
    for (const auto& p : paths) {
        if (QFile::moveToTrash(p))
            ++moved;
        else
            failed << p;
    }
    if (!failed.isEmpty())
        notify(owner, QObject::tr("Delete"),
               QObject::tr("These items could not be moved to the trash:\n%1").arg(failed.join('\n')));
    return moved;
}

bool openWithDefaultApplication(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool invokeVerb(const QString& verb, const QStringList& paths, QWidget* owner) {
    if (verb == QLatin1String("find")) {
        openFindDialog(owner, paths.value(0), {});
        return true;
    }
    if (paths.isEmpty()) return false;
    if (verb == QLatin1String("open")) {
        bool ok = true;
        for (const auto& p : paths) ok = openWithDefaultApplication(p) && ok;
        return ok;
    }
    if (verb == QLatin1String("cut") || verb == QLatin1String("copy")) {
        copyToClipboard(paths, verb == QLatin1String("cut"));
        return true;
    }
    if (verb == QLatin1String("paste")) {
        QString err;
        pasteClipboard(paths.front(), owner, &err);
        if (!err.isEmpty()) notify(owner, QObject::tr("Paste"), err.trimmed());
        return err.isEmpty();
    }
    if (verb == QLatin1String("delete")) return deleteToTrash(paths, owner) > 0;
    if (verb == QLatin1String("properties")) {
        auto* d = new PropertiesDialog(paths, owner);
        d->setAttribute(Qt::WA_DeleteOnClose);
        d->show();
        return true;
    }
    return false;
}

}  // namespace vek::shell
