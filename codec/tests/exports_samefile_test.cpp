// The file functions given one file as both input and output, under the same
// name or by way of a link: they refuse, and the input keeps every byte.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "vekcdc5.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes readAll(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
}

void writeAll(const fs::path& p, const Bytes& b) {
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

class SameFile : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("vekcdc5-same-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir / "sub");
        std::mt19937 rng(9);
        m_frames.resize(77 * 29);
        for (auto& x : m_frames) x = static_cast<std::uint8_t>(rng());
        writeAll(m_dir / "memo.adp", m_frames);
        ASSERT_EQ(ADPCMToSC4((m_dir / "memo.adp").c_str(), (m_dir / "memo.sc4").c_str(), 0), 1);
        m_sc4 = readAll(m_dir / "memo.sc4");
        ASSERT_FALSE(m_sc4.empty());
    }
    void TearDown() override { fs::remove_all(m_dir); }

    // Every name under which `file` can be reached as an output: itself, a
    // spelling with "." and "..", a symbolic link (also a relative one and a
    // link to a link) and a hard link.
    std::vector<fs::path> aliases(const std::string& file) {
        const fs::path target = m_dir / file;
        fs::create_symlink(target, m_dir / ("link-" + file));
        fs::create_symlink("../" + file, m_dir / "sub" / ("rel-" + file));
        fs::create_symlink(m_dir / ("link-" + file), m_dir / ("link2-" + file));
        fs::create_hard_link(target, m_dir / ("hard-" + file));
        return {target, m_dir / "sub" / ".." / "." / file, m_dir / ("link-" + file),
                m_dir / "sub" / ("rel-" + file), m_dir / ("link2-" + file), m_dir / ("hard-" + file)};
    }

    fs::path m_dir;
    Bytes m_frames, m_sc4;
};

}  // namespace

TEST_F(SameFile, ContainerToFramesRefusesItsOwnInput) {
    for (const auto& out : aliases("memo.sc4")) {
        EXPECT_EQ(SC4ToADPCM((m_dir / "memo.sc4").c_str(), out.c_str()), 0) << out;
        EXPECT_EQ(readAll(m_dir / "memo.sc4"), m_sc4) << out;
    }
    // Input by way of a link, output by its real name.
    EXPECT_EQ(SC4ToADPCM((m_dir / "link-memo.sc4").c_str(), (m_dir / "hard-memo.sc4").c_str()), 0);
    EXPECT_EQ(readAll(m_dir / "memo.sc4"), m_sc4);
    // A copy is another file: that works, and gives the frames back.
    fs::copy_file(m_dir / "memo.sc4", m_dir / "copy.sc4");
    ASSERT_EQ(SC4ToADPCM((m_dir / "memo.sc4").c_str(), (m_dir / "copy.sc4").c_str()), 1);
    const Bytes back = readAll(m_dir / "copy.sc4");
    ASSERT_GE(back.size(), m_frames.size());
    EXPECT_TRUE(std::equal(m_frames.begin(), m_frames.end(), back.begin()));
}

TEST_F(SameFile, FramesToContainerRefusesItsOwnInput) {
    for (const auto& out : aliases("memo.adp")) {
        for (int32_t shq : {0, 1}) {
            EXPECT_EQ(ADPCMToSC4((m_dir / "memo.adp").c_str(), out.c_str(), shq), 0) << out;
            EXPECT_EQ(readAll(m_dir / "memo.adp"), m_frames) << out;
        }
    }
    // A dangling link as output is not the input: it is written through as before.
    fs::create_symlink(m_dir / "new.sc4", m_dir / "dangling.sc4");
    EXPECT_EQ(ADPCMToSC4((m_dir / "memo.adp").c_str(), (m_dir / "dangling.sc4").c_str(), 0), 1);
    EXPECT_EQ(readAll(m_dir / "new.sc4"), m_sc4);
}
