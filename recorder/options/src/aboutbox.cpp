// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/recoptions/aboutbox.hpp"

#include "vek/recoptions/desktoptools.hpp"
#include "vek/recoptions/launcher.hpp"
#include "vek/platform/aboutlinks.hpp"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#ifndef VEKVMAIL_VENDOR_URL1
#define VEKVMAIL_VENDOR_URL1 ""
#endif
#ifndef VEKVMAIL_VENDOR_URL2
#define VEKVMAIL_VENDOR_URL2 ""
#endif
#ifndef VEKVMAIL_DOC_DIR
#define VEKVMAIL_DOC_DIR "/usr/share/doc/voice-lumo"
#endif
#ifndef VEKVMAIL_DOC_REL
#define VEKVMAIL_DOC_REL "../share/doc/voice-lumo"
#endif

namespace vekvmail {

QString TAboutBox::documentationFolder(const QString& programDir) {
    const QString rel = QDir::cleanPath(programDir + QStringLiteral("/") + QStringLiteral(VEKVMAIL_DOC_REL));
    if (QFileInfo(rel).isDir()) return rel;
    return QStringLiteral(VEKVMAIL_DOC_DIR);
}

TAboutBox::TAboutBox(const QIcon& icon, TLauncher* launcher, QWidget* parent)
    : QDialog(parent), m_launcher(launcher ? launcher : &systemLauncher()) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(tr("About voice lumo player"));
    setFixedSize(357, 214);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Sunken);
    Panel1->setGeometry(8, 8, 58, 58);
    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(5, 5, 48, 48);
    ProgramIcon->setPixmap((icon.isNull() ? QApplication::windowIcon() : icon).pixmap(48, 48));

    auto label = [this](const char* name, const QString& text, int y, int h = 16) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        l->setGeometry(78, y, 272, h);
        return l;
    };
    ProductName = label("ProductName", tr("voice lumo player for Windows 95/98/NT/2000/ME/XP"), 6, 32);
    // A wider font than the designed one wraps instead of clipping.
    ProductName->setWordWrap(true);
    Version = label("Version", tr("Version 1.00"), 38);
    EmptyLine = label("EmptyLine", QString(), 56);
    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(78, 76, 270, 2);
    // The designed caption doubles the ampersand; the label shows one.
    Comments = label("Comments", tr("Voice Mail & Voice Memo"), 84);
    Comments->setTextFormat(Qt::PlainText);
    Company = label("Company", tr("HALVERN Electronics"), 102);

    const QString url1 = QStringLiteral(VEKVMAIL_VENDOR_URL1);
    const QString url2 = QStringLiteral(VEKVMAIL_VENDOR_URL2);
    const vek::about::DocumentationLinks links =
        vek::about::documentationLinks(documentationFolder(QCoreApplication::applicationDirPath()), url1, url2);
    m_link7 = links.guide;
    m_link6 = links.folder;
    Label7 = label("Label7", url1.isEmpty() ? tr("voice lumo guide (installed documentation)") : url1, 126);
    Label6 = label("Label6", url2.isEmpty() ? tr("Documentation folder") : url2, 146);
    for (auto [l, u] : {std::pair{Label7, m_link7}, std::pair{Label6, m_link6}})
        vek::about::makeLinkLabel(l, u, [this](const QUrl& url) { linkClick(url); });

    OKButton = new QPushButton(tr("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(141, 178, 75, 25);
    OKButton->setDefault(true);   // Enter; Escape closes the box as well
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    if (QScreen* s = QGuiApplication::primaryScreen()) {
        QRect r(QPoint(0, 0), size());
        r.moveCenter(s->availableGeometry().center());
        move(r.topLeft());
    }
}

void TAboutBox::linkClick(const QUrl& url) { openWithHourglass(*m_launcher, url); }

}  // namespace vekvmail
