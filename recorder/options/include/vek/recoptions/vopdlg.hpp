// TVOPDlg, "Voice Effect": the voice effect and its level. The dialog lives
// for the whole run and its two controls hold the settings: the effect
// (0 = "OFF" .. 16) and the level slider position (0 at the top, "High", to
// 127 at the bottom, "Low"; default 80). The audio engine and the players
// take 127 minus the position as the level; a self-playing file stores the
// position itself.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QStringList>

#include <cstdint>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QPushButton;
class QSlider;

namespace vekvmail {

class TVOPDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kEffectCount = 17;
    static constexpr int kDefaultLevelPosition = 80;
    static constexpr int kMaxLevelPosition = 127;
    // The effect names, in the order of their numbers.
    static QStringList effectNames();

    explicit TVOPDlg(QWidget* parent = nullptr);

    // ---- the settings
    int EffectMode() const;                       // 0..16
    int LevelPosition() const;                    // 0..127
    // The level the audio engine is given: 127 minus the position.
    std::uint8_t EngineLevel() const { return static_cast<std::uint8_t>(kMaxLevelPosition - LevelPosition()); }
    // An effect outside 0..16 (a damaged self-playing file) counts as "OFF";
    // a position beyond 127 stops at 127.
    void setSettings(int effectMode, int levelPosition);
    // What opening a file does first: "OFF" at 80.
    void resetSettings() { setSettings(0, kDefaultLevelPosition); }
    // Set by any change of either control, cleared when the dialog is shown.
    bool Changed() const { return m_changed; }

    // ---- the Voice Effect command
    // Shows the dialog modally with the settings remembered; OK keeps the
    // new ones, anything else (Cancel, Escape, closing) puts the remembered
    // ones back. True when the command marks the recording modified: OK with
    // a change while the current file is a self-playing executable, which
    // carries the settings (an SC4 file or a new recording does not).
    bool VoiceClick(const QString& currentFileName);
    // The same decision once the dialog has answered (exec's result).
    bool finishVoiceClick(int result, int rememberedEffect, int rememberedPosition, const QString& currentFileName);
    // True for a name whose extension, in lower case, is ".exe".
    static bool carriesEffectSettings(const QString& fileName);

    // ---- controls, by their designed names
    QGroupBox* RGEffMode = nullptr;        // "Effect Mode", one radio button per effect
    QButtonGroup* RGEffModeItems = nullptr;
    QGroupBox* GBEffLevel = nullptr;       // "Effect Level"
    QSlider* SLEffLevel = nullptr;
    QLabel *LabelHigh = nullptr, *LabelLow = nullptr;
    QPushButton *OKBtn = nullptr, *CancelBtn = nullptr;

protected:
    void showEvent(QShowEvent* e) override;

private:
    void EffChange();
    bool m_changed = false;
};

}  // namespace vekvmail
