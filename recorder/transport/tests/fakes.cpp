// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes.hpp"

#include <algorithm>
#include <cstring>

namespace vek::transport::test {

// ---------------------------------------------------------------- engine

int FakeEngine::preWaveIn(crp2::MessageTarget& target, std::uint8_t m) {
    if (inResult != crp2::kOk)
        return inResult;
    m_target = &target;
    mode = m;
    capturing = true;
    inFailed = false;
    return crp2::kOk;
}

void FakeEngine::capture(std::uint8_t fill, std::int16_t pcmValue, bool swinging) {
    auto s = std::make_unique<Slot>();
    s->data.assign(static_cast<std::size_t>(crp2::blockBytesOf(mode)), fill);
    s->pcm.assign(static_cast<std::size_t>(crp2::blockSamplesOf(mode)), pcmValue);
    if (swinging)
        for (std::size_t i = 0; i < s->pcm.size(); i += 2)
            s->pcm[i] = static_cast<std::int16_t>(-pcmValue);
    m_in.push_back(std::move(s));
    m_target->post(crp2::kMmWimData, m_in.size() - 1);
}

void FakeEngine::loseInput(std::uint8_t fill) {
    inFailed = true;
    capture(fill);
}

const std::uint8_t* FakeEngine::getInDataPtr(crp2::Header h, std::uint8_t, int) { return m_in.at(h)->data.data(); }

const std::int16_t* FakeEngine::getInDataPtrOnly(crp2::Header h) { return m_in.at(h)->pcm.data(); }

void FakeEngine::postWaveIn(std::uint8_t) {
    ++postWaveInCalls;
    if (whileClosing)
        whileClosing();
    capturing = false;
    inFailed = false;
}

int FakeEngine::preWaveOut(crp2::MessageTarget& target, std::uint8_t m, int e, int level) {
    if (outResult != crp2::kOk)
        return outResult;
    m_target = &target;
    mode = m;
    effectIndex = e;
    effectLevel = level;
    started.push_back({m, e, level});
    playing = true;
    // Two buffers: both are asked for at once, so one plays while one waits.
    m_target->post(crp2::kMmWomDone, 0);
    m_target->post(crp2::kMmWomDone, 1);
    return crp2::kOk;
}

std::int16_t* FakeEngine::getOutDataPtr(crp2::Header h, std::uint8_t m, const std::uint8_t* block, int tag) {
    EXPECT_TRUE(playing);
    EXPECT_EQ(tag, crp2::kOutBlockTag);
    const int bb = crp2::blockBytesOf(m);
    if (block[0] == undecodableFirstByte)
        throw crp2::DecodeError("undecodable");
    played.emplace_back(block, block + bb);
    Slot& s = m_out[h];
    // The "decoded" samples: every byte of the block as a sample value.
    s.pcm.assign(static_cast<std::size_t>(crp2::blockSamplesOf(m)), static_cast<std::int16_t>(block[0] * 100));
    return s.pcm.data();
}

void FakeEngine::effect(std::int16_t* samples) {
    ++effectCalls;
    for (crp2::Header h = 0; h < 2; ++h)
        if (m_out[h].pcm.data() == samples && autoRequest && playing)
            m_target->post(crp2::kMmWomDone, h);
}

void FakeEngine::postWaveOut(std::uint8_t) {
    ++postWaveOutCalls;
    if (whileClosing)
        whileClosing();
    playing = false;
}

// ---------------------------------------------------------------- files

namespace {

class MemFile : public File {
public:
    MemFile(MemFileSystem& fs, std::string path, bool writable) : m_fs(fs), m_path(std::move(path)), m_w(writable) {}
    bool seek(std::int64_t pos) override {
        if (m_fs.gone || pos < 0)
            return false;
        m_pos = pos;
        return true;
    }
    std::int64_t read(void* buf, std::size_t n) override {
        if (m_fs.gone || !m_fs.files.count(m_path))
            return -1;
        Bytes& d = m_fs.files[m_path];
        if (m_pos >= static_cast<std::int64_t>(d.size()))
            return 0;
        std::size_t k = std::min(n, d.size() - static_cast<std::size_t>(m_pos));
        std::memcpy(buf, d.data() + m_pos, k);
        m_pos += static_cast<std::int64_t>(k);
        return static_cast<std::int64_t>(k);
    }
    std::int64_t write(const void* buf, std::size_t n) override {
        if (m_fs.gone || !m_w || !m_fs.files.count(m_path))
            return 0;
        if (m_fs.writesBeforeFailure >= 0 && m_fs.writesBeforeFailure-- == 0)
            return 0;
        Bytes& d = m_fs.files[m_path];
        std::int64_t end = m_pos + static_cast<std::int64_t>(n);
        std::int64_t grow = end - static_cast<std::int64_t>(d.size());
        std::size_t k = n;
        if (grow > 0 && m_fs.capacity >= 0) {
            std::int64_t room = m_fs.capacity - m_fs.used();
            if (grow > room) {
                // What fits goes in, as a full disk takes part of a write.
                std::int64_t fit = static_cast<std::int64_t>(d.size()) + std::max<std::int64_t>(room, 0) - m_pos;
                k = static_cast<std::size_t>(std::clamp<std::int64_t>(fit, 0, static_cast<std::int64_t>(n)));
            }
        }
        if (m_pos + static_cast<std::int64_t>(k) > static_cast<std::int64_t>(d.size()))
            d.resize(static_cast<std::size_t>(m_pos) + k, 0);
        std::memcpy(d.data() + m_pos, buf, k);
        m_pos += static_cast<std::int64_t>(k);
        return static_cast<std::int64_t>(k);
    }
    std::int64_t position() const override { return m_pos; }
    bool truncate(std::int64_t size) override {
        if (m_fs.gone || !m_w || !m_fs.files.count(m_path) || size < 0)
            return false;
        Bytes& d = m_fs.files[m_path];
        if (size > static_cast<std::int64_t>(d.size()) && m_fs.capacity >= 0 &&
            size - static_cast<std::int64_t>(d.size()) > m_fs.capacity - m_fs.used())
            return false;
        d.resize(static_cast<std::size_t>(size), 0);
        return true;
    }
    bool close() override { return !m_fs.gone; }

private:
    MemFileSystem& m_fs;
    std::string m_path;
    bool m_w;
    std::int64_t m_pos = 0;
};

}  // namespace

bool MemFileSystem::isFile(const std::string& path) { return !gone && files.count(path) != 0; }

std::int64_t MemFileSystem::fileSize(const std::string& path) {
    return isFile(path) ? static_cast<std::int64_t>(files[path].size()) : -1;
}

std::unique_ptr<File> MemFileSystem::open(const std::string& path, OpenMode mode) {
    if (gone)
        return nullptr;
    if (mode == OpenMode::Create)
        files[path].clear();
    else if (!files.count(path))
        return nullptr;
    return std::make_unique<MemFile>(*this, path, mode != OpenMode::Read);
}

bool MemFileSystem::remove(const std::string& path) { return !gone && files.erase(path) != 0; }

bool MemFileSystem::replace(const std::string& from, const std::string& to) {
    if (gone || failReplace || !files.count(from))
        return false;
    Bytes d = std::move(files[from]);
    files.erase(from);
    files[to] = std::move(d);
    return true;
}

std::int64_t MemFileSystem::used() const {
    std::int64_t n = 0;
    for (const auto& [k, v] : files)
        n += static_cast<std::int64_t>(v.size());
    return n;
}

// ---------------------------------------------------------------- view

void FakeView::setRunningDigits(Pair p, char high, char low) {
    int i = static_cast<int>(p);
    runDigits[2 * i] = high;
    runDigits[2 * i + 1] = low;
    ++runPairWrites[i];
}

void FakeView::setTotalDigits(Pair p, char high, char low) {
    int i = static_cast<int>(p);
    totDigits[2 * i] = high;
    totDigits[2 * i + 1] = low;
}

static std::string clock(const char* d) {
    return std::string{d[0], d[1], ':', d[2], d[3], ':', d[4], d[5]};
}
std::string FakeView::running() const { return clock(runDigits); }
std::string FakeView::total() const { return clock(totDigits); }

// ---------------------------------------------------------------- rig

int Rig::pump(int limit) {
    int n = 0;
    while (!target.queue.empty() && (limit < 0 || n < limit)) {
        auto [msg, h] = target.queue.front();
        target.queue.pop_front();
        t.handleMessage(msg, h);
        ++n;
        if (n > 100000) {
            ADD_FAILURE() << "the engine's messages never end";
            break;
        }
    }
    return n;
}

Bytes blockOf(std::uint8_t mode, int i) {
    return Bytes(static_cast<std::size_t>(crp2::blockBytesOf(mode)), static_cast<std::uint8_t>(i + 1));
}

void Rig::loadWorkFile(std::uint8_t mode, int blocks, int extraBytes) {
    Bytes d;
    for (int i = 0; i < blocks; ++i) {
        Bytes b = blockOf(mode, i);
        d.insert(d.end(), b.begin(), b.end());
    }
    d.insert(d.end(), static_cast<std::size_t>(extraBytes), 0x7F);
    fs.files[kWork] = d;
    t.setVoiceMode(mode);
    t.dspSize(t.showTotalTime(kWork, false));
}

void Rig::record(std::uint8_t mode, int blocks) {
    t.recClick(mode);
    ASSERT_EQ(t.state(), State::Recording);
    for (int i = 0; i < blocks; ++i) {
        if (i == blocks - 1)
            t.stopClick();
        engine.capture(static_cast<std::uint8_t>(0xA0 + i));
        pump();
    }
}

}  // namespace vek::transport::test
