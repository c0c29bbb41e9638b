// Shell verbs on files and folders: open with the default application, cut,
// copy, paste, delete (to the desktop trash), properties, find. Cut and copy
// put the files on the clipboard in the formats the Linux file managers
// exchange, so files move between the manager and the desktop both ways:
//   text/uri-list                 file URLs, one a line (CRLF separated)
//   x-special/gnome-copied-files  "cut" or "copy", then the URLs, LF separated
//   application/x-kde-cutselection "1" for a cut
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>

#include "vek/platform/clipboard_formats.hpp"

class QMimeData;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QLabel;

namespace vek::shell {

// Questions the verbs ask ("Move to the trash?", "Replace the file?"). The
// default shows a message box; tests put an answering function in place.
using QuestionFn = std::function<bool(QWidget* owner, const QString& title, const QString& text)>;
void setQuestionHandler(QuestionFn fn);
bool ask(QWidget* owner, const QString& title, const QString& text);
// Failures the verbs report ("Paste": what could not be copied or moved and
// why). The default shows a warning box; tests put a recording function in.
using NoticeFn = std::function<void(QWidget* owner, const QString& title, const QString& text)>;
void setNoticeHandler(NoticeFn fn);
void notify(QWidget* owner, const QString& title, const QString& text);

// Clipboard contents for files: makeFileMimeData, readFileMimeData and
// ClipboardFiles in clipboard_formats.hpp.
void copyToClipboard(const QStringList& paths, bool cut);
ClipboardFiles clipboardFiles();

// Copies (or, for a cut, moves) `sources` into `targetFolder`. Folders are
// copied with their contents. Before an existing entry is replaced the user
// is asked; a "no" skips that entry. A source pasted into its own folder by
// copy gets the name "Copy of NAME" (then "Copy (2) of NAME", ...); a folder is
// never copied into itself. The question says when a file would replace a
// folder or a folder a file; a replaced entry goes to the trash once its
// replacement is complete (see transfer.hpp for how nothing is lost on a
// full or failing volume). Returns the paths written; `error` collects the
// failures, one line each (empty when all went well).
QStringList pasteFiles(const QStringList& sources, const QString& targetFolder, bool cut,
                       QWidget* owner, QString* error = nullptr);
// Pastes the clipboard's files into `targetFolder`; after a cut the
// clipboard is cleared, as the file managers do.
QStringList pasteClipboard(const QString& targetFolder, QWidget* owner, QString* error = nullptr);

// Moves the entries to the trash after one confirmation. Returns how many
// went. Entries the trash refuses are reported in a message box.
int deleteToTrash(const QStringList& paths, QWidget* owner);

bool openWithDefaultApplication(const QString& path);

// One entry point for the verbs by name, as the shell's context menus call
// them: "open", "cut", "copy", "paste", "delete", "properties", "find".
// "paste" pastes into the first (folder) path. False for an unknown verb or
// when the verb could not run.
bool invokeVerb(const QString& verb, const QStringList& paths, QWidget* owner);

// A small properties sheet: name, type, folder, size, dates, permissions.
class PropertiesDialog : public QDialog {
    Q_OBJECT
public:
    explicit PropertiesDialog(const QStringList& paths, QWidget* parent = nullptr);
    // The shown value of a row ("Name", "Type", "Location", "Size", "Contains",
    // "Created", "Modified", "Accessed", "Permissions", "Owner").
    QString field(const QString& label) const;

private:
    QStringList labels_, values_;
};

// Our find dialog: a name pattern (wildcards, several separated by ";"),
// searched under a folder and its subfolders. Activating a result asks to
// show its containing folder with the entry selected.
class FindDialog : public QDialog {
    Q_OBJECT
public:
    explicit FindDialog(const QString& folder, QWidget* parent = nullptr);
    void setPattern(const QString& pattern);
    // Runs the search now (also the "Find Now" button). Returns the count.
    int search();
    QStringList results() const { return results_; }
    void activateResult(int index);

signals:
    void showInFolder(const QString& folder, const QString& name);

private:
    QLineEdit* pattern_;
    QLineEdit* folder_;
    QPushButton* findBtn_;
    QPushButton* stopBtn_;
    QTreeWidget* list_;
    QLabel* status_;
    QStringList results_;
    bool stop_ = false;
};

// Opens (non-modal) a find dialog on `folder`; `show` is called for a result
// the user activates.
FindDialog* openFindDialog(QWidget* owner, const QString& folder,
                           std::function<void(const QString& folder, const QString& name)> show);

}  // namespace vek::shell
