// SPDX-License-Identifier: GPL-3.0-or-later
#include "testutil.hpp"

#include "vek/testsupport/fixtures.hpp"
#include "vek/testsupport/qt.hpp"

#include <QFile>

#include <vector>

namespace vekshell::test {

namespace ts = vek::testsupport;

void writeBytes(const QString& path, const QByteArray& bytes) { ts::writeBytes(path, bytes); }

void writeSp(const QString& path, int sectors) {
    ts::writeBytes(path, ts::spFile(static_cast<std::size_t>(sectors), [](std::size_t s, std::size_t i) {
                       return static_cast<std::uint8_t>((s * 31 + i * 7) & 0xFF);
                   }));
}

void writeAdpcmSc4(const QString& path, int frames, bool shq) {
    std::vector<std::uint8_t> plain(static_cast<std::size_t>(frames) * 29);
    for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<std::uint8_t>((i * 37 + 11) & 0x77);
    const auto sc4 = ts::adpcmSc4(plain, shq);
    if (!sc4.empty()) ts::writeBytes(path, sc4);
}

void writeHqSized(const QString& path, qint64 size) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
    f.write(QByteArray("\x00\x00\x01\x1B\x1D", 5));
    f.resize(size);
}

void writeWav(const QString& path, int samples, int rate) {
    ts::Samples s(static_cast<std::size_t>(samples));
    for (int i = 0; i < samples; ++i) s[static_cast<std::size_t>(i)] = static_cast<std::int16_t>((i % 40) * 400 - 8000);
    ts::writeBytes(path, ts::wav16(s, static_cast<std::uint32_t>(rate)));
}

bool waitFor(const std::function<bool()>& cond, int ms) { return ts::waitFor(cond, ms); }

}  // namespace vekshell::test
