// "Send Voice Mail (&MP3)...": the recording attached as an MP3 file built in
// the data folder, for recipients who have neither the suite nor a Windows
// PC. The steps are those of the other two send commands (the open ".exe"
// refusal, the mail program of the "Select Mail Program" dialog, saving a
// changed file first, SendIMail, the improper-program message), run by the
// shared send logic of vek/recpexe/mail.hpp over this window.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "statusbar.hpp"
#include "vm0007form.hpp"

#include "vek/platform/mailreg.hpp"
#include "vek/platform/vekimail.hpp"
#include "vek/recpexe/mail.hpp"
#include "vek/recpexe/outgoing.hpp"

#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>

namespace vekvmail {

namespace rp = vek::recpexe;

void TVM0007Form::MailMp3Click() {
    // The window's services to the send logic. A local class of this
    // handler, so it reaches the window's state as the handler does.
    class Host final : public rp::MailHost, public rp::OutgoingHost {
    public:
        explicit Host(TVM0007Form& f) : m_f(f) {}

        void show(const std::string& text, const std::string& caption, rp::Icon icon) override {
            const QMessageBox::Icon i = icon == rp::Icon::Information ? QMessageBox::Information
                                        : icon == rp::Icon::Question  ? QMessageBox::Question
                                        : icon == rp::Icon::Error     ? QMessageBox::Critical
                                                                      : QMessageBox::Warning;
            QMessageBox box(i, TVM0007Form::tr(caption.c_str()), hintText(TVM0007Form::tr(text.c_str())),
                            QMessageBox::Ok, &m_f);
            box.setObjectName(QStringLiteral("MailMp3Message"));
            // The hourglass is on while sending; the box gets the arrow.
            QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
            box.exec();
            QGuiApplication::restoreOverrideCursor();
        }
        void setBusy(bool busy) override {
            if (busy)
                QGuiApplication::setOverrideCursor(Qt::WaitCursor);
            else
                QGuiApplication::restoreOverrideCursor();
        }
        int shellOpen(const std::string& program, const std::string& params) override {
            return vek::imail::shellOpenProgram(program, params);
        }
        int startCommand(const std::string& commandLine) override { return vek::imail::startCommandLine(commandLine); }
        std::optional<rp::fs::path> prepareOutgoing(rp::OutgoingKind kind) override {
            rp::RecorderFiles st;
            st.programDir = QFile::encodeName(m_f.m_programDir).toStdString();
            st.dataDir = QFile::encodeName(m_f.m_dataDir).toStdString();
            st.currentFile = QFile::encodeName(m_f.m_currentFile).toStdString();
            st.mode = m_f.m_voiceMode;
            st.fx = {static_cast<std::uint8_t>(m_f.m_effectIndex), static_cast<std::uint8_t>(m_f.m_effectSlider)};
            st.modified = m_f.m_modified;
            // New, Open and a dropped file bring another file (or none):
            // its MP3 is checked before it is replaced.
            if (m_f.m_currentFile != m_f.m_mp3BuiltFor) m_f.m_mp3TargetCheck = true;
            st.mp3TargetCheck = m_f.m_mp3TargetCheck;
            const auto out = rp::prepareOutgoing(kind, st, *this);
            m_f.m_modified = st.modified;
            if (!st.mp3TargetCheck) m_f.m_mp3BuiltFor = m_f.m_currentFile;
            m_f.m_mp3TargetCheck = st.mp3TargetCheck;
            return out;
        }
        std::int32_t sendIMail(const std::string& path, const std::string& text) override {
            return vek::imail::sendIMail(path.c_str(), text.c_str());
        }
        void clearStatusText() override { m_f.StatusBar->setPanelText(0, QString()); }

        // Save of the current file: done when the window's Save cleared the
        // modified flag.
        bool save() override {
            m_f.SaveClick();
            return !m_f.m_modified;
        }
        bool writeWorkingAsSc4(const rp::fs::path& path) override {
            return rp::writeWorkingAsSc4(QFile::encodeName(m_f.m_workFile).toStdString(), m_f.m_voiceMode, path);
        }

    private:
        TVM0007Form& m_f;
    };

    const vek::mailreg::Store store(vek::mailreg::Store::defaultPath());
    store.seedIfMissing();
    const int prog = m_mailDlg ? m_mailDlg->GetMailProg() : rp::kDefaultMailProg;
    const bool run = m_mailDlg && m_mailDlg->runMailProgram();
    Host host(*this);
    rp::mailClick(rp::OutgoingKind::Mp3, QFile::encodeName(m_currentFile).toStdString(), prog, run, store, host);
}

}  // namespace vekvmail
