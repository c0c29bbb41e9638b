// Test doubles of the transport: an engine that delivers blocks when told,
// files in memory that fail on purpose, and a window that records what it is
// told to show.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "vek/transport/transport.hpp"

namespace vek::transport::test {

using Bytes = std::vector<std::uint8_t>;

// Messages posted by the engine wait here until the test delivers them.
class FakeTarget : public crp2::MessageTarget {
public:
    void post(std::uint32_t message, crp2::Header header) override { queue.emplace_back(message, header); }
    std::deque<std::pair<std::uint32_t, crp2::Header>> queue;
};

class FakeEngine : public crp2::AudioEngine {
public:
    int preWaveIn(crp2::MessageTarget& target, std::uint8_t mode) override;
    const std::uint8_t* getInDataPtr(crp2::Header header, std::uint8_t mode, int zero) override;
    const std::int16_t* getInDataPtrOnly(crp2::Header header) override;
    void postWaveIn(std::uint8_t mode) override;
    int preWaveOut(crp2::MessageTarget& target, std::uint8_t mode, int effect, int level) override;
    std::int16_t* getOutDataPtr(crp2::Header header, std::uint8_t mode, const std::uint8_t* block, int tag) override;
    void effect(std::int16_t* samples) override;
    void postWaveOut(std::uint8_t mode) override;
    double setPlaybackSpeed(double s) override {
        speed = s;
        return s;
    }

    bool inputFailed() const override { return inFailed; }
    bool outputFailed() const override { return outFailed; }

    // Capture: one block of `fill` bytes (PCM of `pcmValue`, or of samples
    // swinging between -pcmValue and pcmValue) is posted.
    void capture(std::uint8_t fill, std::int16_t pcmValue = 0, bool swinging = false);
    // The capture device goes away: its last block, of `fill` bytes, is posted.
    void loseInput(std::uint8_t fill);

    bool inFailed = false, outFailed = false;
    // Run inside postWaveIn and postWaveOut (a device whose closing
    // processes events).
    std::function<void()> whileClosing;

    int inResult = crp2::kOk, outResult = crp2::kOk;
    bool capturing = false, playing = false;
    std::uint8_t mode = 0;
    int effectIndex = -1, effectLevel = -1;
    // Every playback started, with what it was started with.
    struct Start {
        int mode, effect, level;
    };
    std::vector<Start> started;
    int postWaveInCalls = 0, postWaveOutCalls = 0;
    // Blocks handed over for output, as they were read from the file.
    std::vector<Bytes> played;
    int effectCalls = 0;
    double speed = 1.0;
    // Each handed-over block asks for the next one, as a device would.
    bool autoRequest = true;
    // Blocks whose first byte is this value cannot be decoded.
    int undecodableFirstByte = 0xEE;

private:
    struct Slot {
        Bytes data;
        std::vector<std::int16_t> pcm;
    };
    crp2::MessageTarget* m_target = nullptr;
    std::vector<std::unique_ptr<Slot>> m_in;
    Slot m_out[2];
};

// Files in memory. `capacity` limits the bytes of all files together (a disk
// that fills up); `gone` makes every call fail (a drive pulled out).
class MemFileSystem : public FileSystem {
public:
    bool isFile(const std::string& path) override;
    std::int64_t fileSize(const std::string& path) override;
    std::unique_ptr<File> open(const std::string& path, OpenMode mode) override;
    bool remove(const std::string& path) override;
    bool replace(const std::string& from, const std::string& to) override;

    std::int64_t used() const;
    std::map<std::string, Bytes> files;
    std::int64_t capacity = -1;
    bool failReplace = false;
    // Writes that still succeed before one write fails (a bad sector); -1: none fails.
    int writesBeforeFailure = -1;
    bool gone = false;
};

class FakeView : public TransportView {
public:
    void setEnabled(Group g, bool on) override { enabled[static_cast<int>(g)] = on; }
    void repaintPanels() override { ++repaints; }
    void setRunningDigits(Pair p, char high, char low) override;
    void setTotalDigits(Pair p, char high, char low) override;
    void setTotalColor(std::uint32_t c) override { totalColor = c; }
    void setTrackPosition(int p) override { trackPos = p; }
    int trackPosition() override { return trackPos; }
    void focusTrackBar() override { ++focus; }
    void setMeter(int p) override { meter = p; }
    void setStatusText(int panel, const std::string& text) override { status[panel] = text; }
    void setApplicationTitle(const std::string& t) override { title = t; }
    void setModified() override { modified = true; }
    void message(const std::string& text, Icon icon) override { messages.emplace_back(text, icon); }
    bool confirm(const std::string& text) override {
        questions.push_back(text);
        return answer;
    }
    void setBusyCursor(bool on) override { cursorDepth += on ? 1 : -1; }
    void setAcceptDrops(bool on) override { acceptDrops = on; }
    void sendBusyNotice(bool busy) override { busyNotices.push_back(busy); }
    int effectIndex() override { return effect; }
    int effectSliderPosition() override { return slider; }

    std::string running() const;  // "HH:MM:SS" as the running digits show
    std::string total() const;

    std::map<int, bool> enabled;
    int repaints = 0, focus = 0, meter = -1, cursorDepth = 0;
    char runDigits[6] = {'0', '0', '0', '0', '0', '0'};
    char totDigits[6] = {'0', '0', '0', '0', '0', '0'};
    int runPairWrites[3] = {};
    std::uint32_t totalColor = kColorWhite;
    int trackPos = 0;
    std::string status[3];
    std::string title;
    bool modified = false;
    std::vector<std::pair<std::string, Icon>> messages;
    std::vector<std::string> questions;
    bool answer = true;
    bool acceptDrops = true;
    std::vector<bool> busyNotices;
    int effect = 0, slider = 80;
};

inline constexpr const char* kWork = "DATA/vdata1.tmp";
inline constexpr const char* kTail = "DATA/rec1.tmp";

// A transport on memory files with a fake engine, and a pump for the messages.
struct Rig {
    FakeEngine engine;
    FakeTarget target;
    MemFileSystem fs;
    FakeView view;
    Transport t{engine, target, fs, view, kWork, kTail};

    // Delivers queued messages, at most `limit` of them (negative: all).
    int pump(int limit = -1);
    // A working file of `blocks` whole blocks of `mode`, block i filled with
    // the byte i + 1, plus `extra` bytes of 0x7F; measured as a file open does.
    void loadWorkFile(std::uint8_t mode, int blocks, int extraBytes = 0);
    // Records `blocks` blocks (fills 0xA0, 0xA1, ...) with Stop pressed
    // before the last one arrives.
    void record(std::uint8_t mode, int blocks);
    Bytes& work() { return fs.files[kWork]; }
};

// Block i (from 0) of a file made by loadWorkFile.
Bytes blockOf(std::uint8_t mode, int i);

}  // namespace vek::transport::test
