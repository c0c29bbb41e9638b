// TAboutBox, "About voice lumo player": the program's icon, name, version,
// purpose, maker and two links.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QIcon>
#include <QUrl>

class QFrame;
class QLabel;
class QPushButton;

namespace vekvmail {

class TLauncher;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    // `icon`: the program's icon (null: the application's window icon).
    // `launcher`: opens the links (null: the desktop's).
    explicit TAboutBox(const QIcon& icon = {}, TLauncher* launcher = nullptr, QWidget* parent = nullptr);

    QFrame* Panel1 = nullptr;
    QLabel* ProgramIcon = nullptr;
    QLabel *ProductName = nullptr, *Version = nullptr, *EmptyLine = nullptr, *Comments = nullptr,
           *Company = nullptr;
    QFrame* Bevel1 = nullptr;
    QLabel *Label7 = nullptr, *Label6 = nullptr;   // the two links
    QPushButton* OKButton = nullptr;

    // Where the two links lead: the vendor addresses configured at build
    // time, otherwise the suite's installed documentation.
    QUrl link7() const { return m_link7; }
    QUrl link6() const { return m_link6; }
    // The installed documentation: seen from the program's folder first (a
    // moved or unpacked install), then where the build installs it.
    static QString documentationFolder(const QString& programDir);
    // What a click on a link does: the address opened, with the hourglass.
    void linkClick(const QUrl& url);

private:
    TLauncher* m_launcher;
    QUrl m_link7, m_link6;
};

}  // namespace vekvmail
