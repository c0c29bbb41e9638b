// TAboutBox: program icon, name, version, purpose and two links.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QUrl>

class QLabel;
class QPushButton;

namespace vekshell {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
    QLabel *Label1, *Label2, *Label3, *Label6, *Label7;
    QLabel* Image1;
    QPushButton* btnOK;
    // Where the two links lead: the vendor addresses configured at build
    // time, otherwise the suite's installed documentation.
    QUrl link7() const { return link7_; }
    QUrl link6() const { return link6_; }
    static QString documentationFolder();
    // What a click on a link does: the desktop opens it; a missing local
    // target or a failure to open is reported.
    void openLink(const QUrl& url);

private:
    QUrl link7_, link6_;
};

}  // namespace vekshell
