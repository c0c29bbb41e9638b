// The recorder's transport: recording in the three voice modes with insert at
// the position, playback with the voice effect, pause and stop, fast forward
// and rewind, the position bar, the running and total time digits, the level
// meter, the file-size text and the two cuts. All of it works on one working
// file that holds the recording as a plain stream of its mode's blocks (whole
// 512-byte SP sectors, or 29-byte ADPCM frames in groups of 68).
//
// Everything runs on the window's thread. The window wires its controls to
// the commands below, hands the engine's two messages to waveInData and
// waveOutDone, and shows what the transport tells it through TransportView.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "vek/crp2/audioengine.hpp"
#include "vek/transport/files.hpp"

namespace vek::transport {

using crp2::kModeHQ;
using crp2::kModeSHQ;
using crp2::kModeSP;

enum class State : std::uint8_t { Stopped = 0, Playing = 1, Recording = 2 };

inline constexpr int kTrackMin = 0;
inline constexpr int kTrackMax = 32760;
inline constexpr const char* kTitleIdle = "voice lumo player";
inline constexpr const char* kTitlePlaying = "Playing: voice lumo player";
inline constexpr const char* kTitleRecording = "Recording: voice lumo player";
inline constexpr const char* kCaption = "voice lumo player";
// The companion window told when the sound device is taken or free.
inline constexpr const char* kBusyWindowTitle = "TARKAVoiceWizard";
inline constexpr std::uint32_t kBusyMessage = 0x070F;
// Posted to the window's target by the transport itself after a recording
// ended with commands waiting: they run behind every engine message still
// queued from that recording, so no late block reaches the next command.
inline constexpr std::uint32_t kRunDeferred = 0x0401;
// Windows colour values (0x00BBGGRR) of the total-time cells.
inline constexpr std::uint32_t kColorSilver = 0x00C0C0C0;
inline constexpr std::uint32_t kColorWhite = 0x00FFFFFF;

// Messages of the transport.
inline constexpr const char* kMsgNoDevice = "Can not open sound device.";
inline constexpr const char* kMsgNoMemory = "Memory is not enough.";
inline constexpr const char* kMsgDecodeError = "Decoding error by invalid data!";
inline constexpr const char* kMsgConfirmDelAfter = "Are you sure to delete after current position?";
inline constexpr const char* kMsgConfirmDelBefore = "Are you sure to delete before current position?";
inline constexpr const char* kMsgRecordWriteKept =
    "Recording stopped: the disk refused the data!\r(What was recorded until then is kept.)";
inline constexpr const char* kMsgRecordWriteLost =
    "Recording stopped: the disk refused the data!\r(The new recording could not be kept; the file is as it was.)";
inline constexpr const char* kMsgRecordWriteBroken =
    "Recording stopped: the disk refused the data!\r(The working file could not be restored.)";
inline constexpr const char* kMsgTailSaveFailed =
    "Can not record here: the disk refused the data!\r(The recording is unchanged.)";
inline constexpr const char* kMsgCutFailed = "Can not delete: the disk refused the data!\r(The recording is unchanged.)";
inline constexpr const char* kMsgWorkFileOpen = "Can not open the working file!";
inline constexpr const char* kMsgRecordDeviceLost =
    "Recording stopped: the sound device failed!\r(What was recorded until then is kept.)";
inline constexpr const char* kMsgPlayDeviceLost = "Playback stopped: the sound device failed!";

// Mode constants of the block arithmetic.
struct ModeInfo {
    int blockBytes;
    int blockSamples;
    double blockSeconds;  // 0.5, 3944/8000 and 3944/11025 as rounded constants
    double secondsPerByte;
    int seekStep;  // blocks per fast-forward or rewind press, about 5 s
};
ModeInfo modeInfo(std::uint8_t mode);
// "SP", "HQ", "SHQ" for 4, 5 and anything else.
const char* modeText(std::uint8_t mode);
// Nearest integer, ties to even, saturated to 32 bits.
std::int32_t roundEven(double v);
// The SC4 file size in kilobytes that saving `bytes` of working file gives.
std::int64_t estimatedKilobytes(std::uint8_t mode, std::int64_t bytes);
// Level meter position 0..99 of one block of PCM.
int meterLevel(const std::int16_t* samples, int count);

enum class Group {
    RecSP,     // SBRec, MRec
    RecHQ,     // SBRec2, MRec2
    RecSHQ,    // SBRecP, MRecP
    Play,      // SBPlay, MPlay
    Mail,      // SBMail, MMailSend, SBMailP, MMailSendP
    Files,     // SBNew, SBOpen, SBSave, MNew, MOpen, MSave, MSaveAs, MExit
    Options,   // SBVoice, MVoice, mnuMailProg, imgDDC, imgDDE
    Cuts,      // SBDelA, MDelA, SBDelB, MDelB
    Seek,      // SBFF, MFF, SBFB, MFB
    TrackBar,  // TrackBar
};
inline constexpr int kGroupCount = 10;

enum class Pair { Hour, Min, Sec };
enum class Icon { Information, Error };

// What the window shows and answers.
class TransportView {
public:
    virtual ~TransportView() = default;
    virtual void setEnabled(Group g, bool on) = 0;
    virtual void repaintPanels() = 0;
    // Running time digits (dspT6..dspT1) and total time digits (dsptT6..dsptT1).
    virtual void setRunningDigits(Pair p, char high, char low) = 0;
    virtual void setTotalDigits(Pair p, char high, char low) = 0;
    // The eight total-time cells' on-colour.
    virtual void setTotalColor(std::uint32_t colorRef) = 0;
    // Moves the bar from the program (raises no change notice).
    virtual void setTrackPosition(int position) = 0;
    // Where the bar stands now (the user may have moved it).
    virtual int trackPosition() = 0;
    virtual void focusTrackBar() = 0;
    virtual void setMeter(int position) = 0;
    virtual void setStatusText(int panel, const std::string& text) = 0;
    virtual void setApplicationTitle(const std::string& title) = 0;
    virtual void setModified() = 0;
    virtual void message(const std::string& text, Icon icon) = 0;
    // Yes/No question captioned "Confirm"; true for Yes.
    virtual bool confirm(const std::string& text) = 0;
    virtual void setBusyCursor(bool on) = 0;
    // Dropped files are accepted only while the sound device is free.
    virtual void setAcceptDrops(bool on) = 0;
    // kBusyMessage to the window titled kBusyWindowTitle, if one exists.
    virtual void sendBusyNotice(bool busy) = 0;
    // The voice-effect dialog's choice: effect index 0..16, slider 0..127.
    virtual int effectIndex() = 0;
    virtual int effectSliderPosition() = 0;
};

class Transport {
public:
    // `target` receives the engine's messages; the window hands them back to
    // waveInData / waveOutDone on its own thread.
    Transport(crp2::AudioEngine& engine, crp2::MessageTarget& target, FileSystem& files, TransportView& view,
              std::string workFile, std::string tailFile);

    // ---- commands
    void playClick();
    void stopClick();
    void recClick(std::uint8_t mode);
    void fastForwardClick();
    void rewindClick();
    void deleteBeforeClick();
    void deleteAfterClick();
    // The user moved the bar to `position`.
    void trackBarChange(int position);
    void trackBarMouseUp(int x);

    // ---- engine messages
    // Every message that reaches the window's target: the engine's two and
    // the transport's own kRunDeferred.
    void handleMessage(std::uint32_t message, crp2::Header header);
    void waveInData(crp2::Header header);
    void waveOutDone(crp2::Header header);

    // ---- operations for the rest of the window
    void stopR();
    // The window is closing: the engine is stopped and the working file
    // finished (a recording keeps its blocks and gets its tail back) before
    // the window saves or deletes it. Waiting commands are dropped.
    void closeDown();
    // A stop was asked during a recording and its final block is not yet
    // handled: commands wait until it is.
    bool finishing() const { return m_state == State::Recording && !m_engineRunning; }
    // closeDown() is under way: the window goes once it returns.
    bool closing() const { return m_closing; }
    // Runs `command` now, or after the final block when finishing().
    void runWhenIdle(std::function<void()> command);

    void btnDisable();
    void btnEnable();
    void btnEnableAllRec();
    void recBtnRefresh();
    void changeFMode(std::uint8_t mode);
    void displayAmp(const std::int16_t* samples);
    void displayTime(std::int32_t tcount);
    void displayTimeLimit(std::int32_t tcount);
    void displayPos(std::int32_t tcount);
    std::int32_t getTCountFromTrackPos() const;
    std::int64_t getFilePosFromTrackPos() const;
    int getTrackPosFromTCount(std::int32_t tcount) const;
    void dspTimeHour(std::int32_t v);
    void dspTimeMin(std::int32_t v);
    void dspTimeSec(std::int32_t v);
    void dsptTimeHour(std::int32_t v);
    void dsptTimeMin(std::int32_t v);
    void dsptTimeSec(std::int32_t v);
    void dspSize(std::int64_t bytes);
    std::int64_t showTotalTime(const std::string& fileName, bool alsoRunning);
    void notifyBusy(bool busy);
    // Sets the bar from the program (New, Open and the hand-over use it).
    void setTrackPosition(int position);

    // ---- transcription playback
    // Playback speed for the engine (0.5..2.0, pitch kept); the position,
    // the bar and the running time stay in recording time. The result is the
    // speed the engine plays at (1.0 where it cannot change it).
    double setPlaySpeed(double speed);
    // Seconds (0..5) that each pause of a playback by Stop steps back; 0
    // keeps the position where it is.
    void setPauseRewind(int seconds);
    int pauseRewind() const { return m_pauseRewind; }

    // ---- state
    State state() const { return m_state; }
    bool engineRunning() const { return m_engineRunning; }
    std::uint8_t voiceMode() const { return m_voiceMode; }
    void setVoiceMode(std::uint8_t mode) { m_voiceMode = mode; }
    std::int32_t curTCount() const { return m_curTCount; }
    std::int64_t recStartPos() const { return m_recStartPos; }
    std::int32_t recEndTCount() const { return m_recEndTCount; }
    std::int64_t workFileSize() const { return m_workFileSize; }
    std::int32_t totalSecs() const { return m_totalSecs; }
    int trackPosition() const { return m_view.trackPosition(); }
    bool enabled(Group g) const { return m_enabled[static_cast<int>(g)]; }
    const std::string& workFile() const { return m_workFile; }
    const std::string& tailFile() const { return m_tailFile; }
    void setWorkFiles(std::string workFile, std::string tailFile);

private:
    void setGroup(Group g, bool on);
    Group recGroupOf(std::uint8_t mode) const;
    int blockBytes() const { return modeInfo(m_voiceMode).blockBytes; }
    void showTime(std::int32_t secs, bool total);
    void engineRefused(int r);
    void playNow();
    void recordNow(std::uint8_t mode);
    void cutNow(bool before);
    bool deferred(std::function<void()> command);
    // Ends a recording: engine closed, tail put back, file closed, displays.
    void finishRecording();
    // The disk refused a block or the tail: keep what can be kept.
    void recordingWriteFailed();
    // Stopped after a recording that ended at m_recEndTCount.
    void showRecordingEnded();
    bool appendTail();
    void closeCapture();
    void runDeferred();

    crp2::AudioEngine& m_engine;
    crp2::MessageTarget& m_target;
    FileSystem& m_files;
    TransportView& m_view;
    std::string m_workFile, m_tailFile;

    State m_state = State::Stopped;
    bool m_engineRunning = false;
    std::uint8_t m_voiceMode = kModeSP;
    std::int32_t m_curTCount = 0;
    std::int64_t m_recStartPos = -1;
    std::int32_t m_recEndTCount = 0;
    std::int64_t m_recOldSize = 0;  // the working file's size when the recording began
    std::int32_t m_recBlocks = 0;  // blocks of the running recording that reached the file
    const std::int16_t* m_lastOutPtr = nullptr;
    std::uint8_t m_playBuffer[crp2::kAdpcmBlockBytes] = {};
    std::int64_t m_workFileSize = 0;
    std::int32_t m_totalSecs = 0;
    std::int32_t m_shownHour = 0, m_shownMin = 0, m_shownSec = 0;
    bool m_enabled[kGroupCount] = {};
    std::unique_ptr<File> m_file;  // the working file during one play or recording
    std::deque<std::function<void()>> m_deferred;
    bool m_closing = false;
    int m_pauseRewind = 0;
    bool m_closingEngine = false;  // inside postWaveIn
};

// The whole blocks of `mode` nearest to `seconds` (2 s: 4 SP, 4 HQ or 6 SHQ blocks).
std::int32_t blocksForSeconds(std::uint8_t mode, int seconds);

}  // namespace vek::transport
