// Helpers of the window tests: files of known content and waiting for Qt,
// on the shared test support (vek/testsupport).
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace vekshell::test {

void writeBytes(const QString& path, const QByteArray& bytes);
// An SP file of whole sectors ("dmr1data" F4 01 + 500 frame bytes + 2).
void writeSp(const QString& path, int sectors);
// An HQ (shq false) or SHQ file made by the codec's container writer from
// `frames` plain ADPCM frames of varied codes.
void writeAdpcmSc4(const QString& path, int frames, bool shq);
// A file of `size` bytes starting with the HQ signature (not a playable
// recording; enough for the mode panel).
void writeHqSized(const QString& path, qint64 size);
// A 16-bit mono PCM WAV file.
void writeWav(const QString& path, int samples, int rate = 8000);
// Lets events through until `cond` holds or `ms` pass; returns cond().
bool waitFor(const std::function<bool()>& cond, int ms = 5000);

}  // namespace vekshell::test
