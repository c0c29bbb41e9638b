// SPDX-License-Identifier: GPL-3.0-or-later
#include "aboutbox.hpp"

#include "startup.hpp"
#include "vek/platform/aboutlinks.hpp"
#include "vek/version.hpp"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#ifndef VEKSHELL_VENDOR_URL1
#define VEKSHELL_VENDOR_URL1 ""
#endif
#ifndef VEKSHELL_VENDOR_URL2
#define VEKSHELL_VENDOR_URL2 ""
#endif
#ifndef VEKSHELL_SOURCE_DIR
#define VEKSHELL_SOURCE_DIR ""
#endif
#ifndef VEKSHELL_DOC_DIR
#define VEKSHELL_DOC_DIR "/usr/share/doc/voice-lumo"
#endif
#ifndef VEKSHELL_DOC_REL
#define VEKSHELL_DOC_REL "../../share/doc/voice-lumo"
#endif

namespace vekshell {

QIcon programIcon();  // splashform.cpp

QString TAboutBox::documentationFolder() {
    // Seen from the program folder first (an installed prefix that was moved
    // or unpacked elsewhere), then where the build installs it, then (a
    // program run from its build tree) the sources it was built from, whose
    // README is the same guide.
    const QString rel = QDir::cleanPath(programDir() + QStringLiteral(VEKSHELL_DOC_REL));
    if (QFileInfo(rel).isDir()) return rel;
    const QString installed = QStringLiteral(VEKSHELL_DOC_DIR);
    if (QFileInfo(installed).isDir()) return installed;
    const QString sources = QStringLiteral(VEKSHELL_SOURCE_DIR);
    if (!sources.isEmpty() && QFileInfo(sources + QStringLiteral("/README.md")).isFile()) return sources;
    return installed;
}

void TAboutBox::openLink(const QUrl& url) {
    // A link that leads nowhere says so rather than doing nothing.
    if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile())) {
        QMessageBox::information(this, windowTitle(),
                                 tr("The documentation is not installed here:\n%1").arg(url.toLocalFile()));
        return;
    }
    if (!QDesktopServices::openUrl(url))
        QMessageBox::warning(this, windowTitle(), tr("No program could be started to open\n%1").arg(url.toString()));
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(357, 179);
    setWindowTitle(QStringLiteral("About voice lumo manager"));
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPointSize(8);
    setFont(f);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setGeometry(8, 8, 58, 58);
    Image1 = new QLabel(panel);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(5, 5, 48, 48);
    Image1->setPixmap(programIcon().pixmap(48, 48));

    auto label = [this](const char* name, const QString& text, int x, int y, int w) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(x, y, w, 16);
        return l;
    };
    Label2 = label("Label2", QStringLiteral("voice lumo manager for Windows 95/98/NT/2000/ME/XP"), 78, 6, 270);
    // The designed font may be missing here; a wider one wraps instead of clipping.
    Label2->setWordWrap(true);
    Label2->setGeometry(78, 6, 272, 32);
    Label1 = label("Label1", QStringLiteral("Version " VEK_VERSION_SHORT), 78, 38, 270);
    Label3 = label("Label3", QStringLiteral("SC4, WAV File Converter"), 78, 56, 270);
    auto* bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->setGeometry(78, 78, 270, 2);

    const QString url1 = QStringLiteral(VEKSHELL_VENDOR_URL1);
    const QString url2 = QStringLiteral(VEKSHELL_VENDOR_URL2);
    const vek::about::DocumentationLinks links = vek::about::documentationLinks(documentationFolder(), url1, url2);
    link7_ = links.guide;
    link6_ = links.folder;
    Label7 = label("Label7", url1.isEmpty() ? QStringLiteral("voice lumo guide (installed documentation)") : url1, 78, 88, 270);
    Label6 = label("Label6", url2.isEmpty() ? QStringLiteral("Documentation folder") : url2, 78, 108, 270);
    // Opened by the desktop.
    for (auto [l, u] : {std::pair{Label7, link7_}, std::pair{Label6, link6_}})
        vek::about::makeLinkLabel(l, u, [this](const QUrl& url) { openLink(url); });
    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(141, 140, 75, 25);
    btnOK->setDefault(true);  // Enter; Escape closes a dialog as well
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

    if (QScreen* s = QGuiApplication::primaryScreen()) {
        QRect r(QPoint(0, 0), size());
        r.moveCenter(s->availableGeometry().center());
        move(r.topLeft());
    }
}

}  // namespace vekshell
