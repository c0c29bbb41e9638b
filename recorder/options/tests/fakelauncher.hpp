// A launcher that starts nothing: it knows a set of installed programs and
// a desktop, and records what it was asked to start or open, together with
// the cursor shown at that moment.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "vek/recoptions/launcher.hpp"

#include <QApplication>
#include <QCursor>
#include <QSet>

#include <vector>

struct FakeLauncher : vekvmail::TLauncher {
    QSet<QString> installed;
    QStringList desktops;
    bool openSucceeds = true;
    struct Started {
        QString program;
        QStringList arguments;
    };
    std::vector<Started> started;
    std::vector<QUrl> opened;
    std::vector<Qt::CursorShape> cursorsWhileOpening;

    QString findProgram(const QString& name) const override {
        return installed.contains(name) ? QStringLiteral("/usr/bin/") + name : QString();
    }
    bool startProgram(const QString& program, const QStringList& arguments) override {
        started.push_back({program, arguments});
        return true;
    }
    bool openUrl(const QUrl& url) override {
        opened.push_back(url);
        const QCursor* c = QApplication::overrideCursor();
        cursorsWhileOpening.push_back(c ? c->shape() : Qt::ArrowCursor);
        return openSucceeds;
    }
    QStringList currentDesktops() const override { return desktops; }
};
