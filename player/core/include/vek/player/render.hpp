// Playing a self-playing file offline: the player core drives a device that
// hands its buffers back in order, so the result is sample for sample what
// the player sends to the sound card.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "vek/codec/sc4.hpp"
#include "vek/player/player_core.hpp"

namespace vek::player {

// The whole content of a file; nullopt when it cannot be opened or read.
std::optional<std::vector<std::uint8_t>> readFileBytes(const std::string& path);

// A PlayerFile over bytes in memory.
class MemoryPlayerFile final : public PlayerFile {
public:
    explicit MemoryPlayerFile(std::vector<std::uint8_t> bytes) : m_bytes(std::move(bytes)) {}
    bool open() override {
        m_pos = 0;
        ++m_opens;
        return true;
    }
    void close() override {}
    std::int64_t size() override { return static_cast<std::int64_t>(m_bytes.size()); }
    bool seek(std::uint64_t offset) override;
    std::size_t read(void* dst, std::size_t n) override;
    int opens() const { return m_opens; }

private:
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_pos = 0;
    int m_opens = 0;
};

// A PlayerFile over a file on disk (stdio).
class StdioPlayerFile final : public PlayerFile {
public:
    explicit StdioPlayerFile(std::string path) : m_path(std::move(path)) {}
    ~StdioPlayerFile() override { close(); }
    bool open() override;
    void close() override;
    std::int64_t size() override;
    bool seek(std::uint64_t offset) override;
    std::size_t read(void* dst, std::size_t n) override;

private:
    std::string m_path;
    void* m_file = nullptr;
};

// A PlayerFile made of bytes in memory (a header) followed by a file on disk
// from its first byte, which is read in place: a recording of any size costs
// no memory. Offsets are 64-bit.
class PrefixedFile final : public PlayerFile {
public:
    PrefixedFile(std::vector<std::uint8_t> prefix, std::string path)
        : m_prefix(std::move(prefix)), m_path(std::move(path)) {}
    ~PrefixedFile() override { close(); }
    PrefixedFile(const PrefixedFile&) = delete;
    PrefixedFile& operator=(const PrefixedFile&) = delete;
    bool open() override;
    void close() override;
    std::int64_t size() override;
    bool seek(std::uint64_t offset) override;
    std::size_t read(void* dst, std::size_t n) override;
    // A read of the file failed (an error, not its end).
    bool failed() const { return m_failed; }

private:
    std::vector<std::uint8_t> m_prefix;
    std::string m_path;
    std::FILE* m_file = nullptr;
    std::uint64_t m_pos = 0;
    std::int64_t m_fileSize = -1;
    bool m_failed = false;
};

// The layout a stub uses for a header's mode: 4 -> SP, 6 -> SHQ, else HQ.
const PlayerLayout& layoutForMode(std::uint8_t mode);

struct EffectSetting {
    int effect;
    int levelByte;
};

// Plays `file` with a player core from the start until it stops by itself and
// returns what it queued, without the two silent buffers it starts with.
// `override` replaces the header's effect settings.
std::vector<std::int16_t> renderPlayback(const PlayerLayout& layout, PlayerFile& file, BlockDecoder& decoder,
                                         VoiceEffect& effect, std::optional<EffectSetting> override = std::nullopt);

// Receives rendered samples a buffer at a time; false stops the rendering.
using SampleSink = std::function<bool(const std::int16_t* samples, std::size_t count)>;

// renderPlayback with the samples handed on as they are produced, so that
// memory stays bounded whatever the length. False when the sink refused.
bool renderPlaybackTo(const PlayerLayout& layout, PlayerFile& file, BlockDecoder& decoder, VoiceEffect& effect,
                      const SampleSink& sink, std::optional<EffectSetting> override = std::nullopt);

struct RenderInput {
    std::vector<std::uint8_t> file;  // the virtual player file
    PlayerLayout layout;
    RecordingMode mode = RecordingMode::Unknown;
};

// Recognises a self-playing file (tag at 51200, then at 78848) and returns
// it with the layout its stub plays; nullopt when neither tag is there.
std::optional<RenderInput> selfPlayingInput(std::vector<std::uint8_t> exe);
// Wraps an SC4 file of any mode as the player would see it (HQ and SHQ
// through the frame stream); nullopt for an unknown mode or a broken file.
std::optional<RenderInput> sc4Input(const std::vector<std::uint8_t>& sc4, std::uint8_t effect, std::uint8_t level);

}  // namespace vek::player
