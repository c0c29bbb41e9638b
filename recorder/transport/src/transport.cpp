// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/transport/transport.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <utility>

namespace vek::transport {

namespace {

// The hourglass while a file copy runs, restored on every path.
class BusyCursor {
public:
    explicit BusyCursor(TransportView& v) : m_v(v) { m_v.setBusyCursor(true); }
    ~BusyCursor() { m_v.setBusyCursor(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    TransportView& m_v;
};

}  // namespace

ModeInfo modeInfo(std::uint8_t mode) {
    switch (mode) {
    case kModeSP:
        return {crp2::kSpBlockBytes, crp2::kSpBlockSamples, 0.5, 1.0 / 1024.0, 10};
    case kModeHQ:
        return {crp2::kAdpcmBlockBytes, crp2::kAdpcmBlockSamples, 0.493, 0.00025, 10};
    default:
        return {crp2::kAdpcmBlockBytes, crp2::kAdpcmBlockSamples, 0.357732426, 1.0 / 5512.5, 14};
    }
}

const char* modeText(std::uint8_t mode) {
    return mode == kModeSP ? "SP" : mode == kModeHQ ? "HQ" : "SHQ";
}

std::int32_t roundEven(double v) {
    if (std::isnan(v))
        return 0;
    // nearbyint rounds in the default mode: to nearest, ties to even.
    double r = std::nearbyint(v);
    if (r >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (r <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(r);
}

std::int64_t estimatedKilobytes(std::uint8_t mode, std::int64_t bytes) {
    std::int64_t s = bytes < 0 ? 0 : bytes;
    if (mode != kModeSP) {
        s += s / 29;              // one sync byte per frame
        s += (s / 3000) * 5;      // a 5-byte group header per 100 frame slots
        s += (s / 510) * 2;       // the two trailer bytes of each sector
    }
    return s / 1024 + (s % 1024 != 0 ? 1 : 0);
}

int meterLevel(const std::int16_t* samples, int count) {
    if (!samples || count <= 0)
        return 0;
    std::int64_t sum = 0;
    for (int i = 0; i < count; ++i)
        sum += samples[i];
    const auto mean = static_cast<std::int16_t>(roundEven(static_cast<double>(sum) / count));
    // The largest deviation is kept in 16 bits: one of 32768 or more does not fit
    // and never counts (a -32768 sample against a mean of 0 or above).
    std::int16_t largest = 0;
    for (int i = 0; i < count; ++i) {
        int d = std::abs(static_cast<int>(samples[i]) - mean);
        if (d <= std::numeric_limits<std::int16_t>::max() && d > largest)
            largest = static_cast<std::int16_t>(d);
    }
    return largest / 328;
}

Transport::Transport(crp2::AudioEngine& engine, crp2::MessageTarget& target, FileSystem& files, TransportView& view,
                     std::string workFile, std::string tailFile)
    : m_engine(engine), m_target(target), m_files(files), m_view(view), m_workFile(std::move(workFile)),
      m_tailFile(std::move(tailFile)) {
    // As the window is designed: play, seek, cuts and the bar start disabled.
    for (bool& e : m_enabled)
        e = true;
    for (Group g : {Group::Play, Group::Seek, Group::Cuts, Group::TrackBar})
        m_enabled[static_cast<int>(g)] = false;
}

void Transport::setWorkFiles(std::string workFile, std::string tailFile) {
    m_workFile = std::move(workFile);
    m_tailFile = std::move(tailFile);
}

// ---------------------------------------------------------------- enabling

void Transport::setGroup(Group g, bool on) {
    m_enabled[static_cast<int>(g)] = on;
    m_view.setEnabled(g, on);
}

Group Transport::recGroupOf(std::uint8_t mode) const {
    return mode == kModeSP ? Group::RecSP : mode == kModeHQ ? Group::RecHQ : Group::RecSHQ;
}

void Transport::btnDisable() {
    for (Group g : {Group::RecSP, Group::RecHQ, Group::RecSHQ, Group::Play, Group::Mail, Group::Files, Group::Options,
                    Group::Cuts})
        setGroup(g, false);
}

void Transport::btnEnable() {
    setGroup(recGroupOf(m_voiceMode), true);
    for (Group g : {Group::Play, Group::Mail, Group::Files, Group::Options, Group::Cuts, Group::Seek})
        setGroup(g, true);
    m_view.repaintPanels();
}

void Transport::btnEnableAllRec() {
    for (Group g : {Group::RecSP, Group::RecHQ, Group::RecSHQ})
        setGroup(g, true);
}

void Transport::recBtnRefresh() {
    Group own = recGroupOf(m_voiceMode);
    for (Group g : {Group::RecSP, Group::RecHQ, Group::RecSHQ})
        setGroup(g, g == own);
}

void Transport::changeFMode(std::uint8_t mode) { m_view.setStatusText(2, modeText(mode)); }

void Transport::notifyBusy(bool busy) {
    m_view.setAcceptDrops(!busy);
    m_view.sendBusyNotice(busy);
}

// ---------------------------------------------------------------- positions and times

std::int32_t Transport::getTCountFromTrackPos() const {
    return roundEven(static_cast<double>(m_view.trackPosition()) * static_cast<double>(m_workFileSize) /
                     (static_cast<double>(kTrackMax) * blockBytes()));
}

std::int64_t Transport::getFilePosFromTrackPos() const {
    return static_cast<std::int64_t>(getTCountFromTrackPos()) * blockBytes();
}

int Transport::getTrackPosFromTCount(std::int32_t tcount) const {
    if (m_workFileSize == 0)
        return 0;
    return roundEven(static_cast<double>(tcount) * blockBytes() * kTrackMax / static_cast<double>(m_workFileSize));
}

void Transport::setTrackPosition(int position) {
    if (position < kTrackMin)
        position = kTrackMin;
    if (position > kTrackMax)
        position = kTrackMax;
    m_view.setTrackPosition(position);
}

void Transport::displayPos(std::int32_t tcount) {
    if (tcount == 0) {
        setTrackPosition(0);
        return;
    }
    int p = getTrackPosFromTCount(tcount);
    if (p > m_view.trackPosition())  // never backwards
        setTrackPosition(p);
}

void Transport::showTime(std::int32_t s, bool total) {
    if (s < 0)
        s = 0;
    std::int32_t h = s / 3600, m = (s % 3600) / 60, sec = s % 60;
    if (total) {
        dsptTimeHour(h);
        dsptTimeMin(m);
        dsptTimeSec(sec);
        return;
    }
    if (sec != m_shownSec)
        dspTimeSec(sec);
    if (m != m_shownMin)
        dspTimeMin(m);
    if (h != m_shownHour)
        dspTimeHour(h);
}

void Transport::displayTime(std::int32_t tcount) {
    showTime(roundEven(tcount * modeInfo(m_voiceMode).blockSeconds), false);
}

void Transport::displayTimeLimit(std::int32_t tcount) {
    std::int32_t s = roundEven(tcount * modeInfo(m_voiceMode).blockSeconds);
    if (s > m_totalSecs)
        s = m_totalSecs;
    showTime(s, false);
}

namespace {
void twoDigits(std::int32_t v, char& hi, char& lo) {
    if (v < 0)
        v = 0;
    if (v >= 100)
        v %= 100;
    char buf[4];
    std::snprintf(buf, sizeof buf, "%2.2d", static_cast<int>(v));
    hi = buf[0];
    lo = buf[1];
}

// The two digit cells of one clock pair, running row or total row.
void showPair(TransportView& view, bool running, Pair pair, std::int32_t v) {
    char a, b;
    twoDigits(v, a, b);
    if (running)
        view.setRunningDigits(pair, a, b);
    else
        view.setTotalDigits(pair, a, b);
}
}  // namespace

void Transport::dspTimeHour(std::int32_t v) {
    m_shownHour = v;
    showPair(m_view, true, Pair::Hour, v);
}
void Transport::dspTimeMin(std::int32_t v) {
    m_shownMin = v;
    showPair(m_view, true, Pair::Min, v);
}
void Transport::dspTimeSec(std::int32_t v) {
    m_shownSec = v;
    showPair(m_view, true, Pair::Sec, v);
}
void Transport::dsptTimeHour(std::int32_t v) { showPair(m_view, false, Pair::Hour, v); }
void Transport::dsptTimeMin(std::int32_t v) { showPair(m_view, false, Pair::Min, v); }
void Transport::dsptTimeSec(std::int32_t v) { showPair(m_view, false, Pair::Sec, v); }

void Transport::dspSize(std::int64_t bytes) {
    m_workFileSize = bytes < 0 ? 0 : bytes;
    m_view.setStatusText(1, "File Size " + std::to_string(estimatedKilobytes(m_voiceMode, m_workFileSize)) + "KB");
}

std::int64_t Transport::showTotalTime(const std::string& fileName, bool alsoRunning) {
    std::int64_t size = m_files.fileSize(fileName);
    if (size < 0) {
        m_view.setStatusText(1, "");
        showTime(0, true);
        return 0;
    }
    m_totalSecs = roundEven(static_cast<double>(size) * modeInfo(m_voiceMode).secondsPerByte);
    std::int32_t s = m_totalSecs;
    showTime(s, true);
    if (alsoRunning) {
        dspTimeHour(s / 3600);
        dspTimeMin((s % 3600) / 60);
        dspTimeSec(s % 60);
    }
    return size;
}

void Transport::displayAmp(const std::int16_t* samples) {
    if (!samples)
        return;
    m_view.setMeter(meterLevel(samples, modeInfo(m_voiceMode).blockSamples));
}

// ---------------------------------------------------------------- deferral

bool Transport::deferred(std::function<void()> command) {
    if (!finishing())
        return false;
    m_deferred.push_back(std::move(command));
    return true;
}

void Transport::runWhenIdle(std::function<void()> command) {
    if (!deferred(command))
        command();
}

void Transport::handleMessage(std::uint32_t message, crp2::Header header) {
    if (message == crp2::kMmWimData)
        waveInData(header);
    else if (message == crp2::kMmWomDone)
        waveOutDone(header);
    else if (message == kRunDeferred)
        runDeferred();
}

void Transport::runDeferred() {
    while (!m_deferred.empty() && !finishing()) {
        auto c = std::move(m_deferred.front());
        m_deferred.pop_front();
        c();
    }
}

// ---------------------------------------------------------------- play

void Transport::engineRefused(int r) {
    if (r == crp2::kDeviceBusy) {
        notifyBusy(false);
        m_view.message(kMsgNoDevice, Icon::Information);
    } else if (r == crp2::kNoMemory) {
        notifyBusy(false);
        m_view.message(kMsgNoMemory, Icon::Error);
    } else {
        // Any other failure: no message, and the device is free again.
        notifyBusy(false);
    }
}

void Transport::playClick() {
    if (!deferred([this] { playClick(); }))
        playNow();
}

void Transport::playNow() {
    if (m_state != State::Stopped)
        return;
    m_curTCount = m_view.trackPosition() < kTrackMax - 1 ? getTCountFromTrackPos() : 0;
    displayTime(m_curTCount);
    m_state = State::Stopped;
    m_lastOutPtr = nullptr;
    notifyBusy(true);
    m_view.focusTrackBar();
    int r = m_engine.preWaveOut(m_target, m_voiceMode, m_view.effectIndex(), 127 - m_view.effectSliderPosition());
    if (r != crp2::kOk) {
        engineRefused(r);
        return;
    }
    m_view.setStatusText(0, "Playing...");
    btnDisable();
    // A working file that is missing plays as an empty one.
    m_file = m_files.open(m_workFile, OpenMode::ReadWrite);
    if (m_file)
        m_file->seek(static_cast<std::int64_t>(m_curTCount) * blockBytes());
    m_engineRunning = true;
    m_state = State::Playing;
    m_view.setApplicationTitle(kTitlePlaying);
}

void Transport::waveOutDone(crp2::Header header) {
    if (m_state != State::Playing)
        return;  // a request still queued from a playback already stopped
    if (m_engine.outputFailed()) {
        stopR();
        m_view.message(kMsgPlayDeviceLost, Icon::Error);
        return;
    }
    if (!m_engineRunning) {
        stopR();
        return;
    }
    displayAmp(m_lastOutPtr);
    const int bb = blockBytes();
    std::int64_t n = 0;
    while (m_file && n < bb) {
        std::int64_t got = m_file->read(m_playBuffer + n, static_cast<std::size_t>(bb - n));
        if (got <= 0)
            break;  // the end of the data, or a file that went away: the end too
        n += got;
    }
    for (std::int64_t i = n; i < bb; ++i)
        m_playBuffer[i] = 0;
    std::int16_t* out = nullptr;
    try {
        out = m_engine.getOutDataPtr(header, m_voiceMode, m_playBuffer, crp2::kOutBlockTag);
    } catch (const crp2::DecodeError&) {
        stopR();
        m_view.message(kMsgDecodeError, Icon::Error);
        return;
    }
    m_lastOutPtr = out;
    m_engine.effect(out);
    displayPos(m_curTCount);
    m_curTCount += 1;
    if (n == 0)
        m_engineRunning = false;  // the zero block just handed over is the last
    else
        displayTimeLimit(m_curTCount);
}

// ---------------------------------------------------------------- stop

void Transport::stopR() {
    m_view.setMeter(0);
    if (m_state == State::Stopped)
        return;
    if (m_state == State::Playing) {
        // Stopped first: a request handled while the device closes is late.
        m_state = State::Stopped;
        m_engine.postWaveOut(m_voiceMode);
        m_lastOutPtr = nullptr;
        notifyBusy(false);
        if (m_file) {
            m_file->close();
            m_file.reset();
        }
        m_view.setApplicationTitle(kTitleIdle);
    }
    m_engineRunning = false;
    btnEnable();
    m_view.setStatusText(0, "");
}

void Transport::stopClick() {
    if (m_state != State::Stopped) {
        const bool pausing = m_state == State::Playing;
        stopR();
        if (pausing && m_pauseRewind > 0) {
            // Back from the position the running time shows, as a rewind
            // press does: the next Play starts there.
            m_curTCount -= blocksForSeconds(m_voiceMode, m_pauseRewind);
            if (m_curTCount < 0)
                m_curTCount = 0;
            setTrackPosition(getTrackPosFromTCount(m_curTCount));
            displayTime(m_curTCount);
        }
        return;
    }
    setTrackPosition(0);
    displayTime(0);
}

void Transport::closeDown() {
    m_closing = true;
    m_deferred.clear();
    if (m_state == State::Playing)
        stopR();
    if (m_state == State::Recording) {
        if (m_engineRunning) {
            m_engineRunning = false;
            btnEnable();
            m_view.setStatusText(0, "");
        }
        finishRecording();
    }
    // The window may yet stay open (the user cancels the close).
    m_closing = false;
}

double Transport::setPlaySpeed(double speed) { return m_engine.setPlaybackSpeed(speed); }

void Transport::setPauseRewind(int seconds) { m_pauseRewind = seconds < 0 ? 0 : seconds > 5 ? 5 : seconds; }

std::int32_t blocksForSeconds(std::uint8_t mode, int seconds) {
    return roundEven(seconds / modeInfo(mode).blockSeconds);
}

// ---------------------------------------------------------------- seek

void Transport::fastForwardClick() {
    if (deferred([this] { fastForwardClick(); }))
        return;
    m_curTCount += modeInfo(m_voiceMode).seekStep;
    if (static_cast<std::int64_t>(m_curTCount) * blockBytes() > m_workFileSize)
        m_curTCount = static_cast<std::int32_t>(m_workFileSize / blockBytes());
    setTrackPosition(getTrackPosFromTCount(m_curTCount));
    displayTime(m_curTCount);
    if (m_state == State::Playing && m_file)
        m_file->seek(static_cast<std::int64_t>(m_curTCount) * blockBytes());
}

void Transport::rewindClick() {
    if (deferred([this] { rewindClick(); }))
        return;
    m_curTCount -= modeInfo(m_voiceMode).seekStep;
    if (m_curTCount < 0)
        m_curTCount = 0;
    setTrackPosition(getTrackPosFromTCount(m_curTCount));
    displayTime(m_curTCount);
    if (m_state == State::Playing && m_file)
        m_file->seek(static_cast<std::int64_t>(m_curTCount) * blockBytes());
}

void Transport::trackBarChange(int position) {
    if (position < kTrackMin)
        position = kTrackMin;
    if (position > kTrackMax)
        position = kTrackMax;
    m_view.setTrackPosition(position);
    m_curTCount = getTCountFromTrackPos();
    displayTime(m_curTCount);
    if (m_state == State::Playing && m_file)
        m_file->seek(static_cast<std::int64_t>(m_curTCount) * blockBytes());
}

void Transport::trackBarMouseUp(int x) {
    // 234 pixels of usable width from pixel 5.
    long p = (static_cast<long>(x) - 5) * 140;
    if (p < kTrackMin)
        p = kTrackMin;
    if (p > kTrackMax)
        p = kTrackMax;
    setTrackPosition(static_cast<int>(p));
    trackBarChange(static_cast<int>(p));
}

// ---------------------------------------------------------------- record

void Transport::recClick(std::uint8_t mode) {
    if (!deferred([this, mode] { recClick(mode); }))
        recordNow(mode);
}

void Transport::recordNow(std::uint8_t mode) {
    if (m_state != State::Stopped)
        return;
    m_voiceMode = mode;
    if (m_files.isFile(m_workFile)) {
        m_recStartPos = getFilePosFromTrackPos();
        m_recOldSize = m_files.fileSize(m_workFile);
        // The tail behind the position is saved whole, or nothing is recorded:
        // a shortened copy would lose the end of the recording.
        bool saved = false;
        {
            BusyCursor hourglass(m_view);
            auto in = m_files.open(m_workFile, OpenMode::Read);
            auto out = m_files.open(m_tailFile, OpenMode::Create);
            if (in && out) {
                std::int64_t size = m_files.fileSize(m_workFile);
                std::int64_t want = size > m_recStartPos ? size - m_recStartPos : 0;
                CopyResult c;
                if (want > 0 && in->seek(m_recStartPos))
                    c = copyData(*in, *out, want);
                bool closed = out->close();
                saved = closed && !c.failed && c.copied == want;
            }
        }
        if (!saved) {
            m_files.remove(m_tailFile);
            m_view.message(kMsgTailSaveFailed, Icon::Error);
            return;
        }
        m_recEndTCount = m_curTCount = getTCountFromTrackPos();
    } else {
        m_recStartPos = -1;
        m_recOldSize = 0;
        m_recEndTCount = m_curTCount = 0;
    }
    displayTime(m_curTCount);
    m_view.setStatusText(1, "");
    m_state = State::Stopped;
    notifyBusy(true);
    int r = m_engine.preWaveIn(m_target, m_voiceMode);
    if (r != crp2::kOk) {
        engineRefused(r);
        if (r == crp2::kDeviceBusy || r == crp2::kNoMemory)
            dspSize(showTotalTime(m_workFile, false));
        return;
    }
    changeFMode(m_voiceMode);
    m_view.setStatusText(0, "Recording...");
    m_view.setModified();
    m_view.setTotalColor(kColorSilver);
    btnDisable();
    setGroup(Group::Seek, false);
    setGroup(Group::TrackBar, false);
    if (m_recStartPos == -1) {
        m_file = m_files.open(m_workFile, OpenMode::Create);
    } else {
        m_file = m_files.open(m_workFile, OpenMode::ReadWrite);
        if (m_file && !m_file->seek(m_recStartPos))
            m_file.reset();
    }
    m_recBlocks = 0;
    m_engineRunning = true;
    m_state = State::Recording;
    m_view.setApplicationTitle(kTitleRecording);
    if (!m_file) {
        // The working file cannot be written at all: the recording ends at once.
        recordingWriteFailed();
    }
}

void Transport::waveInData(crp2::Header header) {
    if (m_state != State::Recording || m_closingEngine)
        return;  // not recording, or a block the engine read while it was being closed
    const int bb = blockBytes();
    const std::uint8_t* p = m_engine.getInDataPtr(header, m_voiceMode, 0);
    if (!p || !m_file || m_file->write(p, static_cast<std::size_t>(bb)) != bb) {
        recordingWriteFailed();
        return;
    }
    m_recBlocks += 1;
    displayAmp(m_engine.getInDataPtrOnly(header));
    m_curTCount += 1;
    m_recEndTCount += 1;
    displayTime(m_curTCount);
    if (m_engineRunning && m_engine.inputFailed()) {
        // The device went away and this block was its last: the recording
        // ends here as after Stop.
        m_engineRunning = false;
        btnEnable();
        m_view.setStatusText(0, "");
    }
    if (m_engineRunning)
        return;
    finishRecording();
}

void Transport::closeCapture() {
    // Closing a device may process events (Qt's may): a block handled in
    // there would write behind the final one and finish the recording twice.
    m_closingEngine = true;
    m_engine.postWaveIn(m_voiceMode);
    m_closingEngine = false;
}

bool Transport::appendTail() {
    if (m_recStartPos == -1)
        return true;
    BusyCursor hourglass(m_view);
    auto tail = m_files.open(m_tailFile, OpenMode::Read);
    if (!tail)
        return false;
    std::int64_t want = m_files.fileSize(m_tailFile);
    CopyResult c = copyData(*tail, *m_file, -1);
    return !c.failed && c.copied == want;
}

void Transport::finishRecording() {
    const bool deviceLost = m_engine.inputFailed();
    closeCapture();
    notifyBusy(false);
    bool ok = m_file != nullptr;
    if (ok)
        ok = appendTail();
    if (ok) {
        // The new content never ends before the old one; cut off nothing but
        // make the end exact.
        ok = m_file->truncate(m_file->position());
    }
    if (ok) {
        ok = m_file->close();
        m_file.reset();
    }
    if (!ok) {
        recordingWriteFailed();
        return;
    }
    showRecordingEnded();
    if (deviceLost && !m_closing)
        m_view.message(kMsgRecordDeviceLost, Icon::Error);
    if (!m_closing && !m_deferred.empty())
        m_target.post(kRunDeferred, 0);
}

void Transport::showRecordingEnded() {
    // The new total, the bar back, both clocks at the recording's end.
    m_view.setTotalColor(kColorWhite);
    dspSize(showTotalTime(m_workFile, false));
    m_view.setMeter(0);
    setGroup(Group::TrackBar, true);
    displayPos(m_recEndTCount);
    displayTime(m_recEndTCount);
    m_curTCount = getTCountFromTrackPos();
    m_state = State::Stopped;
    m_view.setApplicationTitle(kTitleIdle);
}

void Transport::recordingWriteFailed() {
    // The blocks written whole stay; the partly written one goes. Then the saved
    // tail is put back behind them. Where even that does not fit, the new blocks
    // go too and the file is put back as it was before the recording.
    if (m_engineRunning || m_state == State::Recording)
        closeCapture();
    m_engineRunning = false;
    notifyBusy(false);
    const char* text = kMsgRecordWriteKept;
    const std::int64_t base = m_recStartPos < 0 ? 0 : m_recStartPos;
    const std::int64_t good = base + static_cast<std::int64_t>(m_recBlocks) * blockBytes();
    if (!m_file)
        m_file = m_files.open(m_workFile, OpenMode::ReadWrite);
    bool kept = m_file && m_file->truncate(good) && m_file->seek(good) && appendTail() &&
                m_file->truncate(m_file->position());
    std::int64_t end = good;
    if (!kept) {
        text = kMsgRecordWriteLost;
        // Back to the file as it was: its head (never grown past the old end)
        // and the saved tail.
        std::int64_t head = base < m_recOldSize ? base : m_recOldSize;
        kept = m_file && m_file->truncate(head) && m_file->seek(head) && appendTail() &&
               m_file->truncate(m_file->position());
        end = base;
    }
    if (m_file) {
        if (!m_file->close())
            kept = false;
        m_file.reset();
    }
    if (!kept) {
        text = kMsgRecordWriteBroken;
        end = base;
    }
    m_recEndTCount = static_cast<std::int32_t>(end / blockBytes());
    showRecordingEnded();
    btnEnable();
    m_view.setStatusText(0, "");
    m_view.message(text, Icon::Error);
    if (!m_closing && !m_deferred.empty())
        m_target.post(kRunDeferred, 0);
}

// ---------------------------------------------------------------- cuts

void Transport::deleteAfterClick() {
    if (!deferred([this] { deleteAfterClick(); }))
        cutNow(false);
}

void Transport::deleteBeforeClick() {
    if (!deferred([this] { deleteBeforeClick(); }))
        cutNow(true);
}

void Transport::cutNow(bool before) {
    bool yes = m_view.confirm(before ? kMsgConfirmDelBefore : kMsgConfirmDelAfter);
    if (m_state != State::Stopped || !yes)
        return;
    if (before ? m_view.trackPosition() <= kTrackMin : m_view.trackPosition() >= kTrackMax)
        return;
    const std::int64_t cut = getFilePosFromTrackPos();
    // The kept part goes to the tail file first; the working file is replaced
    // only by a complete copy, in one step, so a failure leaves it as it was.
    bool ok = false;
    {
        BusyCursor hourglass(m_view);
        std::int64_t size = m_files.fileSize(m_workFile);
        auto in = m_files.open(m_workFile, OpenMode::Read);
        auto out = m_files.open(m_tailFile, OpenMode::Create);
        if (size >= 0 && in && out) {
            std::int64_t want = before ? (size > cut ? size - cut : 0) : (cut < size ? cut : size);
            CopyResult c;
            if (want > 0 && in->seek(before ? cut : 0))
                c = copyData(*in, *out, want);
            in.reset();
            bool closed = out->close();
            out.reset();
            ok = closed && !c.failed && c.copied == want && m_files.replace(m_tailFile, m_workFile);
        }
    }
    if (!ok) {
        m_files.remove(m_tailFile);
        m_view.message(kMsgCutFailed, Icon::Error);
        return;
    }
    setTrackPosition(before ? kTrackMin : kTrackMax);
    dspSize(showTotalTime(m_workFile, true));
    if (before) {
        dspTimeHour(0);
        dspTimeMin(0);
        dspTimeSec(0);
    }
    m_view.setModified();
}

}  // namespace vek::transport
