// SPDX-License-Identifier: GPL-3.0-or-later
#include "maildlg.hpp"

#include "icons.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace vekvmail {

TMailDlg::TMailDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("MailDlg"));
    setWindowTitle(tr("Select Mail Program"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(true);

    // Fixed layout: five rows of 40 pixels, picture left of its button.
    constexpr int kRow = 40, kTop = 22, kW = 336;
    GroupBox1 = new QGroupBox(tr("E-Mail Program"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(10, 8, kW - 20, kTop + 5 * kRow + 6);
    GroupBox1->setFocusPolicy(Qt::TabFocus);

    const struct {
        const char* name;
        QString caption;
        QRadioButton** slot;
    } rows[] = {
        {"radExchange", tr("&Exchange"), &radExchange},
        {"radIM", tr("&Internet Mail"), &radIM},
        {"radOutlook", tr("O&utlook"), &radOutlook},
        {"radOutExp", tr("&Outlook Express"), &radOutExp},
        {"radNetscape", tr("&Netscape (Attach voice mail manually)"), &radNetscape},
    };
    for (int i = 0; i < 5; ++i) {
        auto* pic = new QLabel(GroupBox1);
        pic->setObjectName(QStringLiteral("Image%1").arg(i + 1));
        pic->setPixmap(svgPixmap(QStringLiteral("mail%1").arg(i), 32, devicePixelRatioF() > 1 ? 2.0 : 1.0));
        pic->setGeometry(14, kTop + i * kRow, 32, 32);
        auto* r = new QRadioButton(rows[i].caption, GroupBox1);
        r->setObjectName(QString::fromLatin1(rows[i].name));
        r->setGeometry(56, kTop + i * kRow + 6, kW - 20 - 64, 20);
        *rows[i].slot = r;
        m_radios[static_cast<std::size_t>(i)] = r;
    }
    radOutExp->setChecked(true);

    const int y = GroupBox1->geometry().bottom() + 10;
    cbxMRun = new QCheckBox(tr("&Run mail program when sending voice mail"), this);
    cbxMRun->setObjectName(QStringLiteral("cbxMRun"));
    cbxMRun->setGeometry(14, y, kW - 24, 20);

    OKBtn = new QPushButton(tr("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    OKBtn->setGeometry(kW - 2 * 84 - 6, y + 30, 78, 25);
    CancelBtn = new QPushButton(tr("Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(kW - 84 - 6, y + 30, 78, 25);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    setFixedSize(kW, y + 30 + 25 + 12);
}

int TMailDlg::GetMailProg() const {
    for (int i = 0; i < 4; ++i)
        if (m_radios[static_cast<std::size_t>(i)]->isChecked()) return i;
    return 4;
}

void TMailDlg::SetMailProg(int index) {
    if (index < 0 || index > 4) return;
    m_radios[static_cast<std::size_t>(index)]->setChecked(true);
}

bool TMailDlg::runMailProgram() const { return cbxMRun->isChecked(); }
void TMailDlg::setRunMailProgram(bool run) { cbxMRun->setChecked(run); }

void TMailDlg::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    // Centred on the screen, the focus on the group of choices.
    if (const QScreen* s = screen()) move(s->geometry().center() - rect().center());
    if (QRadioButton* r = m_radios[static_cast<std::size_t>(GetMailProg())]) r->setFocus(Qt::OtherFocusReason);
}

}  // namespace vekvmail
