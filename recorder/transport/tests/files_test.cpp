// Real files: the operations the transport relies on.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "vek/transport/files.hpp"

namespace vek::transport {
namespace {

namespace fs = std::filesystem;

class StdFiles : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        m_dir = fs::temp_directory_path() / ("vek-transport-" + std::to_string(rd()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string path(const char* name) const { return (m_dir / name).string(); }
    fs::path m_dir;
    StdFileSystem m_fs;
};

TEST_F(StdFiles, OpenModesSizesAndFolders) {
    EXPECT_FALSE(m_fs.isFile(m_dir.string()));
    EXPECT_EQ(m_fs.fileSize(m_dir.string()), -1);
    EXPECT_EQ(m_fs.open(path("none"), OpenMode::ReadWrite), nullptr);
    EXPECT_EQ(m_fs.open(m_dir.string(), OpenMode::Read), nullptr);
    auto f = m_fs.open(path("a"), OpenMode::Create);
    ASSERT_NE(f, nullptr);
    const char data[] = "0123456789";
    EXPECT_EQ(f->write(data, 10), 10);
    // Writing past the end fills the gap with zeros.
    EXPECT_TRUE(f->seek(20));
    EXPECT_EQ(f->write(data, 2), 2);
    EXPECT_EQ(f->position(), 22);
    EXPECT_TRUE(f->truncate(21));
    EXPECT_TRUE(f->close());
    EXPECT_EQ(m_fs.fileSize(path("a")), 21);
    auto g = m_fs.open(path("a"), OpenMode::Read);
    char back[32] = {};
    EXPECT_EQ(g->read(back, sizeof back), 21);
    EXPECT_EQ(std::string(back, 10), "0123456789");
    for (int i = 10; i < 20; ++i)
        EXPECT_EQ(back[i], 0);
    EXPECT_EQ(back[20], '0');
    EXPECT_EQ(g->read(back, sizeof back), 0);
    EXPECT_EQ(g->write(data, 1), 0);  // read-only
}

TEST_F(StdFiles, CopyMovesAllOrTheLimitAndReplaceIsOneStep) {
    std::vector<unsigned char> big(3 * 4096 + 100);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<unsigned char>(i * 7);
    {
        std::ofstream(path("src"), std::ios::binary).write(reinterpret_cast<const char*>(big.data()),
                                                           static_cast<std::streamsize>(big.size()));
    }
    auto in = m_fs.open(path("src"), OpenMode::Read);
    auto out = m_fs.open(path("dst"), OpenMode::Create);
    ASSERT_TRUE(in->seek(50));
    CopyResult c = copyData(*in, *out, 9000);
    EXPECT_EQ(c.copied, 9000);
    EXPECT_FALSE(c.failed);
    c = copyData(*in, *out, -1);
    EXPECT_EQ(c.copied, static_cast<std::int64_t>(big.size()) - 9050);
    out->close();
    in.reset();
    ASSERT_TRUE(m_fs.replace(path("dst"), path("src")));
    EXPECT_FALSE(m_fs.isFile(path("dst")));
    std::ifstream back(path("src"), std::ios::binary);
    std::vector<unsigned char> got((std::istreambuf_iterator<char>(back)), std::istreambuf_iterator<char>());
    EXPECT_EQ(got, std::vector<unsigned char>(big.begin() + 50, big.end()));
    EXPECT_FALSE(m_fs.replace(path("none"), path("src")));
    EXPECT_TRUE(m_fs.isFile(path("src")));
    EXPECT_TRUE(m_fs.remove(path("src")));
    EXPECT_FALSE(m_fs.remove(path("src")));
}

}  // namespace
}  // namespace vek::transport
