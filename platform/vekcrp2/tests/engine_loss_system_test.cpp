// The sound server hangs, then goes away, while the engine plays and records
// (its own private PulseAudio daemon, stopped and then killed mid-stream):
// each time both the playback and the recording end by themselves with their
// message, the recording keeps the blocks captured before, nothing hangs.
// With the server gone, Play and Record are refused as a device that cannot
// be opened.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>

#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "vek/crp2/qtengine.hpp"
#include "vek/crp2/qtmessages.hpp"
#include "vek/testsupport/files.hpp"
#include "vek/testsupport/qt.hpp"
#include "vek/testsupport/servers.hpp"
#include "vek/transport/transport.hpp"

#include "quietview.hpp"

namespace vek::crp2 {
namespace {

using transport::State;

struct Side {
    std::string work, tail;
    transport::StdFileSystem files;
    QuietView view;
    std::unique_ptr<QtMessageTarget> target;
    std::unique_ptr<transport::Transport> t;
    Side(QtAudioEngine& engine, const std::string& dir, const char* name)
        : work(dir + "/" + name + ".tmp"), tail(dir + "/" + name + "-tail.tmp") {
        target = std::make_unique<QtMessageTarget>([this](std::uint32_t m, Header h) { t->handleMessage(m, h); });
        t = std::make_unique<transport::Transport>(engine, *target, files, view, work, tail);
    }
};

TEST(EngineDeviceLoss, ServerThatHangsOrGoesEndsPlaybackAndRecordingWithTheirMessages) {
    testsupport::SoundServer server;
    if (!server.start())
        GTEST_SKIP() << server.error();
    qputenv("PULSE_SERVER", QByteArray::fromStdString(server.server()));
    QProcess pactl;
    pactl.start("pactl", {"load-module", "module-sine-source", "source_name=sine", "rate=48000"});
    if (!pactl.waitForFinished(5000) || pactl.exitStatus() != QProcess::NormalExit || pactl.exitCode() != 0)
        GTEST_SKIP() << "pactl missing or failing: no source to record from";
    pactl.start("pactl", {"set-default-source", "sine"});
    pactl.waitForFinished(5000);
    testsupport::ScratchDir dir;
    auto engine = std::make_unique<QtAudioEngine>();
    Side player(*engine, dir.path().string(), "play"), recorder(*engine, dir.path().string(), "rec");

    // Plays 20 s of silence and records SP at once; then `fail` takes the
    // server away. Both must end by themselves, with their messages.
    auto run = [&](const char* how, const std::function<void()>& fail) {
        SCOPED_TRACE(how);
        {
            QFile f(QString::fromStdString(player.work));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(40 * kSpBlockBytes, '\0'));
        }
        QFile::remove(QString::fromStdString(recorder.work));
        player.view.messages.clear();
        recorder.view.messages.clear();
        player.t->setTrackPosition(0);
        player.t->dspSize(player.t->showTotalTime(player.work, false));
        recorder.t->dspSize(recorder.t->showTotalTime(recorder.work, false));
        player.t->playClick();
        recorder.t->recClick(kModeSP);
        ASSERT_EQ(player.t->state(), State::Playing);
        ASSERT_EQ(recorder.t->state(), State::Recording);
        testsupport::waitFor([] { return false; }, 1600);
        fail();
        EXPECT_TRUE(testsupport::waitFor(
            [&] { return player.t->state() == State::Stopped && recorder.t->state() == State::Stopped; }, 8000))
            << "playing " << int(player.t->state()) << ", recording " << int(recorder.t->state());
        EXPECT_LT(player.t->curTCount(), 20) << "playback ended, not raced through the file";
        EXPECT_EQ(player.view.messages, std::vector<std::string>{transport::kMsgPlayDeviceLost});
        EXPECT_EQ(recorder.view.messages, std::vector<std::string>{transport::kMsgRecordDeviceLost});
        QFile rec(QString::fromStdString(recorder.work));
        EXPECT_GE(rec.size(), 2 * kSpBlockBytes) << "the blocks captured before are kept";
        EXPECT_EQ(rec.size() % kSpBlockBytes, 0);
    };
    // A server that hangs says nothing: the engine notices the silence.
    run("server stopped", [&] { ::kill(server.pid(), SIGSTOP); });
    ::kill(server.pid(), SIGCONT);
    testsupport::waitFor([] { return false; }, 500);
    run("server killed", [&] { server.stop(); });

    // With no server at all, Play and Record are refused: "Can not open sound device."
    player.view.messages.clear();
    recorder.view.messages.clear();
    player.t->playClick();
    recorder.t->recClick(kModeHQ);
    EXPECT_EQ(player.t->state(), State::Stopped);
    EXPECT_EQ(recorder.t->state(), State::Stopped);
    EXPECT_EQ(player.view.messages, std::vector<std::string>{transport::kMsgNoDevice});
    EXPECT_EQ(recorder.view.messages, std::vector<std::string>{transport::kMsgNoDevice});

    // The engine goes without waiting for a server that is gone.
    player.t.reset();
    recorder.t.reset();
    engine.reset();
}

}  // namespace
}  // namespace vek::crp2
