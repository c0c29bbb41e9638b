// The recorder window for the drag-and-drop and mail tests: its own program
// folder with stand-in player stubs of the exact lengths, settings and data
// folder, the fake engine that records what it is asked to play, the mail dialog,
// and doubles of the desktop services that record their calls.
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maildlg.hpp"
#include "vm0007form.hpp"

#include "fakes.hpp"
#include "vek/crp2/audioengine.hpp"
#include "vek/recpexe/pexe.hpp"
#include "vek/testsupport/qt.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace dragmailtest {

namespace crp2 = vek::crp2;
using vekvmail::TMailDlg;
using vekvmail::TVM0007Form;

// The transport's fake engine plays whatever it is given at once; with
// autoRequest false it keeps the two first blocks and the transport stays
// playing.
using vek::transport::test::FakeEngine;

inline QByteArray readAll(const QString& p) {
    QFile f(p);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// What a message box said.
struct Box {
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Answers every modal message box that comes up, with `button` (the first
// button when the box has no such one), and keeps what each said.
class BoxAnswerer {
public:
    BoxAnswerer() {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            seen.push_back({box->text(), box->windowTitle(), box->icon()});
            QAbstractButton* b = box->button(m_button);
            if (!b) b = box->buttons().value(0);
            b->click();
        });
        m_timer.start(10);
    }
    // Forgets what was seen; the boxes from now on get `button`.
    BoxAnswerer& fresh(QMessageBox::StandardButton button = QMessageBox::Ok) {
        seen.clear();
        m_button = button;
        return *this;
    }
    std::vector<Box> seen;

private:
    QTimer m_timer;
    QMessageBox::StandardButton m_button = QMessageBox::Ok;
};

struct Recorder {
    QTemporaryDir dir;
    QString program, data;
    FakeEngine* engine = nullptr;
    std::unique_ptr<TVM0007Form> form;
    std::unique_ptr<TMailDlg> mail;

    // Calls of the desktop services.
    std::vector<std::pair<std::string, std::string>> shellOpens;
    std::vector<std::string> commands, sent, dragged;
    int shellResult = 42, commandResult = 33;
    std::int32_t sendResult = 0;
    bool acceptDropsDuringDrag = true;
    BoxAnswerer boxes;  // no box is left waiting, expected or not

    // `realDesktop` leaves the services to vekimail.
    explicit Recorder(bool realDesktop = false) {
        program = dir.path() + "/bin/";
        QDir().mkpath(program);
        qputenv("XDG_CONFIG_HOME", (dir.path() + "/config").toUtf8());
        qputenv("XDG_DATA_HOME", (dir.path() + "/data").toUtf8());
        data = dir.path() + "/data/voice-lumo/DATA/";
        QDir().mkpath(dir.path() + "/config/voice-lumo");
        vek::testsupport::writeBytes(dir.path() + "/config/voice-lumo/VEKVMAIL.INI", QByteArray("[Main]\r\n"));
        // Stand-in stubs: "MZ" and a pattern, exactly the lengths the layout needs.
        for (const auto& [name, size] : {std::pair{"vekgplay.exe", vek::recpexe::kSpStubBytes},
                                         std::pair{"vekaplay.exe", vek::recpexe::kAdpcmStubBytes}}) {
            QByteArray stub(static_cast<int>(size), '\0');
            for (int i = 0; i < stub.size(); ++i) stub[i] = char((i * 7 + int(size)) & 0xFF);
            stub[0] = 'M';
            stub[1] = 'Z';
            vek::testsupport::writeBytes(program + name, stub);
        }
        TVM0007Form::Environment env;
        env.programDir = program;
        env.screenSize = [] { return QSize(1024, 768); };
        env.audioEngine = [this] {
            auto e = std::make_unique<FakeEngine>();
            engine = e.get();
            return std::unique_ptr<crp2::AudioEngine>(std::move(e));
        };
        form = std::make_unique<TVM0007Form>(env);
        mail = std::make_unique<TMailDlg>(form.get());
        form->setDialogs(nullptr, mail.get(), nullptr);
        if (!realDesktop) {
            TVM0007Form::DragMailServices s;
            s.shellOpen = [this](const std::string& p, const std::string& a) {
                shellOpens.emplace_back(p, a);
                return shellResult;
            };
            s.startCommand = [this](const std::string& c) {
                commands.push_back(c);
                return commandResult;
            };
            s.sendIMail = [this](const std::string& p, const std::string&) {
                sent.push_back(p);
                return sendResult;
            };
            s.fileDrag = [this](QWidget*, const QString& p) {
                dragged.push_back(p.toStdString());
                acceptDropsDuringDrag = form->acceptDrops();
            };
            form->setDragMailServices(s);
        }
        bool shown = false;
        QObject::connect(form.get(), &TVM0007Form::shownOnce, [&shown] { shown = true; });
        form->show();
        vek::testsupport::waitFor([&] { return shown; });
    }
    ~Recorder() {
        if (form->isVisible()) {
            form->setModified(false);
            form->close();
        }
    }
    QString mailStorePath() const { return dir.path() + "/config/voice-lumo/mailclients.reg"; }
    // The mail-client store with these keys (below HKEY_LOCAL_MACHINE) and
    // their default values.
    void writeMailStore(const std::vector<std::pair<QString, QString>>& keys) {
        QByteArray text;
        for (const auto& [key, value] : keys)
            text += "[HKEY_LOCAL_MACHINE" + key.toUtf8() + "]\n@=" + value.toUtf8() + "\n";
        vek::testsupport::writeBytes(mailStorePath(), text);
    }
    // A recording never saved: the working file holds `bytes` in `mode`.
    void record(const QByteArray& bytes) {
        vek::testsupport::writeBytes(form->WorkFile(), bytes);
        form->setModified(true);
    }
};

}  // namespace dragmailtest
