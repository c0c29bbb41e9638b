// The recorder window's options: the voice effect and its dialog, the
// global hot keys Ctrl+Shift+F2..F5, the stay-on-top switch, the volume
// control, the user's guides and the about box.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vm0007form.hpp"

#include "vek/recoptions/desktoptools.hpp"
#include "vek/recoptions/launcher.hpp"
#include "vek/recoptions/vopdlg.hpp"
#include "vek/recwidgets/hotkeys.hpp"

#include <QAction>
#include <QToolButton>

namespace vekvmail {

// ---------------------------------------------------------------- voice effect
// The dialog's two controls hold the effect for the whole run; the window
// keeps a copy only for the time before the dialog is handed over (and for
// windows made without one, as in some tests).

TVOPDlg* TVM0007Form::voiceDialog() const { return qobject_cast<TVOPDlg*>(m_voiceDlg.data()); }

int TVM0007Form::EffectIndex() const {
    if (const TVOPDlg* d = voiceDialog()) return d->EffectMode();
    return m_effectIndex;
}

int TVM0007Form::EffectSliderPosition() const {
    if (const TVOPDlg* d = voiceDialog()) return d->LevelPosition();
    return m_effectSlider;
}

void TVM0007Form::setEffect(int index, int sliderPosition) {
    if (TVOPDlg* d = voiceDialog()) {
        // The dialog takes an unknown effect as "OFF" and keeps the slider
        // to 0..127; the copy follows what it shows.
        d->setSettings(index, sliderPosition);
        m_effectIndex = d->EffectMode();
        m_effectSlider = d->LevelPosition();
        return;
    }
    m_effectIndex = index;
    m_effectSlider = sliderPosition;
}

void TVM0007Form::VoiceClick() {
    TVOPDlg* d = voiceDialog();
    if (!d) return;
    // Cancel puts the remembered settings back; OK with a change marks a
    // self-playing recording modified, since its header carries the effect
    // (an SC4 file or a new recording does not). Playback picks the new
    // effect up at its next start.
    if (d->VoiceClick(m_currentFile)) setModified(true);
    m_effectIndex = d->EffectMode();
    m_effectSlider = d->LevelPosition();
}

// ---------------------------------------------------------------- volume, help, about

void TVM0007Form::mnuVolClick() {
    // No mixer installed: nothing happens.
    openVolumeControl(systemLauncher());
}

void TVM0007Form::mnuUserGuideEClick() { openUserGuide(systemLauncher(), m_programDir, TUserGuide::English); }

void TVM0007Form::mnuUserGuideKClick() { openUserGuide(systemLauncher(), m_programDir, TUserGuide::Korean); }

void TVM0007Form::A1Click() {
    if (m_aboutBox) m_aboutBox->exec();
}

// ---------------------------------------------------------------- hot keys

void TVM0007Form::createHotKeys() {
    MHotKeys = new TAMHotKeys(this);
    MHotKeys->setSaveLoadFrom(slIniFile);
    MHotKeys->OnHotKeys = [this](QObject* sender, quint16 index) { MHotKeysHotKeys(sender, index); };
}

void TVM0007Form::RegisterHK() {
    if (!MHotKeys) return;
    // Ctrl+Shift+F2..F5 as items 0..3 (play, rewind, fast forward, stop),
    // then Ctrl+Shift+F6..F8 as items 4..6 (slower, faster, normal speed),
    // so that foot pedals that send keys reach the transcription commands.
    // Key and modifiers are read when an item is enabled, so they come
    // first. A key the session refuses (another program holds it, or there
    // are no global keys, as on Wayland or offscreen) stays unregistered
    // without a word.
    for (int i = 0; i < 7; ++i) {
        THotKeyItem* item = MHotKeys->HotKeys()->Add();
        item->setVirtKey(static_cast<TVirtKey>(static_cast<int>(TVirtKey::vkF2) + i));
        item->setModifiers(modShift | modControl);
        item->setEnabled(true);
    }
}

void TVM0007Form::HKEnabled(bool value) {
    if (!MHotKeys) return;
    THotKeys* keys = MHotKeys->HotKeys();
    for (int i = 0; i < keys->Count(); ++i) keys->Items(i)->setEnabled(value);
}

void TVM0007Form::MHotKeysHotKeys(QObject*, quint16 hotKeyIndex) {
    // The key does what its button would, and only while the button is
    // enabled: Play does nothing while recording or without a recording.
    switch (hotKeyIndex) {
        case 0:
            if (SBPlay->isEnabled()) PlayClick();
            break;
        case 1:
            if (SBFB->isEnabled()) SBFBClick();
            break;
        case 2:
            if (SBFF->isEnabled()) SBFFClick();
            break;
        case 3:
            if (SBStop->isEnabled()) StopClick();
            break;
        case 4:
            if (MSlower->isEnabled()) MSlowerClick();
            break;
        case 5:
            if (MFaster->isEnabled()) MFasterClick();
            break;
        case 6:
            MNormalSpeedClick();
            break;
        default: break;
    }
}

// ---------------------------------------------------------------- stay on top

void TVM0007Form::MTopClick() {
    MTop->setChecked(!MTop->isChecked());
    applyStayOnTop();
}

void TVM0007Form::applyStayOnTop() {
    if (m_transportState != TransportState::Stopped) StopR();
    // The keys are given back and the component goes at once: a component
    // still waiting for deferred deletion would count as a second one on
    // the form. Changing the flag re-creates the native window, so the new
    // component registers its keys for the window as it is afterwards.
    HKEnabled(false);
    delete MHotKeys;
    MHotKeys = nullptr;

    const bool wasVisible = isVisible();
    const QPoint at = pos();
    // The check mark is the setting; it is written to the settings file at close.
    setWindowFlag(Qt::WindowStaysOnTopHint, MTop->isChecked());
    if (wasVisible) {
        // Setting a window flag hides the window; it comes back where it was.
        move(at);
        show();
    }
    createHotKeys();
    RegisterHK();
}

}  // namespace vekvmail
