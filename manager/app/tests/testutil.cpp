// SPDX-License-Identifier: GPL-3.0-or-later
#include "testutil.hpp"

#include "vek/codec/bytestream.hpp"
#include "vek/codec/sc4.hpp"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <vector>

namespace vekshell::test {

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
}

void writeSp(const QString& path, int sectors) {
    QByteArray b;
    for (int s = 0; s < sectors; ++s) {
        b += QByteArray("dmr1data\xF4\x01", 10);
        for (int i = 0; i < 500; ++i) b += char((s * 31 + i * 7) & 0xFF);
        b += QByteArray(2, '\0');
    }
    writeBytes(path, b);
}

void writeAdpcmSc4(const QString& path, int frames, bool shq) {
    std::vector<std::uint8_t> plain(static_cast<std::size_t>(frames) * 29);
    for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<std::uint8_t>((i * 37 + 11) & 0x77);
    vek::MemorySource in(plain.data(), plain.size());
    vek::MemorySink out;
    if (!vek::adpcmToSc4(in, out, shq)) return;
    writeBytes(path, QByteArray(reinterpret_cast<const char*>(out.bytes().data()), qsizetype(out.bytes().size())));
}

void writeHqSized(const QString& path, qint64 size) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
    f.write(QByteArray("\x00\x00\x01\x1B\x1D", 5));
    f.resize(size);
}

void writeWav(const QString& path, int samples, int rate) {
    QByteArray b;
    auto u32 = [&](quint32 v) { for (int i = 0; i < 4; ++i) b += char((v >> (8 * i)) & 0xFF); };
    auto u16 = [&](quint16 v) { b += char(v & 0xFF); b += char(v >> 8); };
    const quint32 data = quint32(samples) * 2;
    b += "RIFF"; u32(36 + data); b += "WAVEfmt "; u32(16); u16(1); u16(1); u32(quint32(rate)); u32(quint32(rate) * 2);
    u16(2); u16(16); b += "data"; u32(data);
    for (int i = 0; i < samples; ++i) u16(quint16(qint16((i % 40) * 400 - 8000)));
    writeBytes(path, b);
}

bool waitFor(const std::function<bool()>& cond, int ms) {
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

}  // namespace vekshell::test
