// Helpers of the headless Qt tests (vek_testsupport_qt). Linking the library
// also gives the test its main(): a sandboxed home, the offscreen platform
// and one QApplication around the GoogleTest run.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace vek::testsupport {

// The test process's own home folder, made on first use: HOME and
// XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_CACHE_HOME and XDG_RUNTIME_DIR (0700)
// point into it, so that no test reads or writes the user's settings, trash
// or window registry. Removed at exit.
const QString& sandboxHome();

// Lets events through until `cond` holds or `ms` pass; returns cond().
bool waitFor(const std::function<bool()>& cond, int ms = 5000);

// Writes a file; false when it cannot be written completely.
bool writeBytes(const QString& path, const QByteArray& bytes);
bool writeBytes(const QString& path, const std::vector<std::uint8_t>& bytes);
QByteArray toByteArray(const std::vector<std::uint8_t>& bytes);

}  // namespace vek::testsupport
