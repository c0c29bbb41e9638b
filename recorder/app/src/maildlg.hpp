// TMailDlg: "Select Mail Program". Five mail programs, each a radio button
// with a picture beside it, in the group box "E-Mail Program"; the check box
// that starts the program when sending; OK and Cancel. The dialog lives as
// long as the program and is the only holder of the current choice.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include <array>

class QCheckBox;
class QGroupBox;
class QPushButton;
class QRadioButton;

namespace vekvmail {

class TMailDlg : public QDialog {
    Q_OBJECT
public:
    explicit TMailDlg(QWidget* parent = nullptr);

    QGroupBox* GroupBox1 = nullptr;
    QRadioButton *radExchange = nullptr, *radIM = nullptr, *radOutlook = nullptr, *radOutExp = nullptr,
                 *radNetscape = nullptr;
    QCheckBox* cbxMRun = nullptr;
    QPushButton *OKBtn = nullptr, *CancelBtn = nullptr;

    // The index of the first selected radio button in table order; 4 when
    // none of the first four is selected.
    int GetMailProg() const;
    // Selects the button of that index; any other value changes nothing.
    void SetMailProg(int index);
    bool runMailProgram() const;
    void setRunMailProgram(bool run);

protected:
    void showEvent(QShowEvent* e) override;

private:
    std::array<QRadioButton*, 5> m_radios{};
};

}  // namespace vekvmail
