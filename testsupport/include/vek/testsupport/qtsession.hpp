// The environment of a program started with QProcess on a private XServer.
// Header only, so that a test linking Qt Core and vek_testsupport (without
// the Qt test main of vek_testsupport_qt) can use it.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcessEnvironment>
#include <QString>

#include "vek/testsupport/servers.hpp"

namespace vek::testsupport {

// This process's environment with the display of `x` and
// sessionEnvironment(home) applied ("NAME=value" sets, a bare "NAME" removes).
inline QProcessEnvironment sessionProcessEnvironment(const XServer& x, const std::vector<std::string>& session) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", QString::fromStdString(x.display()));
    for (const std::string& e : session) {
        const QString v = QString::fromStdString(e);
        const qsizetype eq = v.indexOf('=');
        if (eq < 0)
            env.remove(v);
        else
            env.insert(v.left(eq), v.mid(eq + 1));
    }
    return env;
}

}  // namespace vek::testsupport
