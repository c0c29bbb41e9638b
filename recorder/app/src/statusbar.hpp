// TStatusBar: the recorder's status bar of three sunken panels: 130 pixels
// (transport text), 106 pixels (file size text) and the rest, centred (mode).
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <array>

class QLabel;

namespace vekvmail {

class TStatusBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPanel0Width = 130;
    static constexpr int kPanel1Width = 106;

    explicit TStatusBar(QWidget* parent = nullptr);
    void setPanelText(int panel, const QString& text);
    QString panelText(int panel) const;
    QLabel* panel(int i) const { return m_panels.at(static_cast<std::size_t>(i)); }

protected:
    void resizeEvent(QResizeEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    std::array<QLabel*, 3> m_panels{};
};

}  // namespace vekvmail
