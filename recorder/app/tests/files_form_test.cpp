// The recorder window's file commands headless: what Open recognises, the
// Save As names, byte-identical round trips through SC4 files and
// self-playing executables, targets that are locked, on a full disk or the
// working file itself, and New. Dialogs and boxes are answered in turn.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "statusbar.hpp"
#include "vm0007form.hpp"

#include "vek/recwidgets/display.hpp"
#include "vek/recwidgets/mousebar.hpp"
#include "vek/testsupport/files.hpp"
#include "vek/testsupport/fixtures.hpp"
#include "vek/testsupport/qt.hpp"
#include "vek/testsupport/tmpfs.hpp"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

using namespace vekvmail;
namespace ts = vek::testsupport;

namespace {

QByteArray bytesOf(const QString& p) {
    QFile f(p);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
void put(const QString& p, const QByteArray& b) { ASSERT_TRUE(ts::writeBytes(p, b)) << p.toStdString(); }
QByteArray sp(int sectors, std::uint32_t seed = 1) { return ts::toByteArray(ts::spNoiseFile(sectors, seed)); }
QByteArray adpcm(double seconds, bool shq, QByteArray* frames = nullptr) {
    ts::Bytes f;
    const auto pcm = ts::speechLike(std::size_t(seconds * (shq ? 11025 : 8000)));
    const QByteArray sc4 = ts::toByteArray(ts::adpcmSc4FromPcm(pcm, shq, &f));
    if (frames) *frames = ts::toByteArray(f);
    return sc4;
}

// Answers the modal windows that come up, in turn, from a script: a path is
// typed into a file dialog's name field ("*1:" first picks the player
// filter), anything else names the message-box button to press. Each window
// is written down as "objectName|title|text"; one without an answer is
// written down as unexpected and closed, so that a test never hangs. The
// newest script answers; an older one waits until it is gone.
class Modals : public QObject {
public:
    explicit Modals(QStringList answers = {}) : m_answers(std::move(answers)), m_outer(s_top) {
        s_top = this;
        connect(&m_timer, &QTimer::timeout, this, &Modals::poll);
        m_timer.start(10);
    }
    ~Modals() override { s_top = m_outer; }
    QStringList seen, dirs;

private:
    void poll() {
        QWidget* w = QApplication::activeModalWidget();
        if (s_top != this || !w || !w->isVisible() || (w == m_current && m_since.elapsed() < 3000)) return;
        m_current = w;
        m_since.start();
        auto* box = qobject_cast<QMessageBox*>(w);
        seen << w->objectName() + "|" + w->windowTitle() + (box ? "|" + box->text() : QString());
        const QString a = m_answers.isEmpty() ? QString() : m_answers.takeFirst();
        auto* d = qobject_cast<QFileDialog*>(w);
        if (d && !a.isEmpty() && a != "Cancel") {
            dirs << QDir(d->directory()).absolutePath();
            d->selectNameFilter(d->nameFilters().value(a.startsWith("*1:") ? 1 : 0));
            for (auto* v : d->findChildren<QAbstractItemView*>()) v->clearSelection();
            d->findChild<QLineEdit*>("fileNameEdit")->setText(a.startsWith("*1:") ? a.mid(3) : a);
            static_cast<QDialog*>(d)->accept();
            return;
        }
        const auto button = a == "Yes" ? QMessageBox::Yes : a == "No" ? QMessageBox::No : QMessageBox::Ok;
        if (box && !a.isEmpty() && a != "Cancel" && box->button(button)) return box->button(button)->click();
        if (a.isEmpty()) seen.last().prepend("unexpected:");
        static_cast<QDialog*>(w)->reject();
    }
    QStringList m_answers;
    Modals* m_outer;
    QTimer m_timer;
    QPointer<QWidget> m_current;
    QElapsedTimer m_since;
    static inline Modals* s_top = nullptr;
};

// The window in a program folder of its own, settings, data folder and the
// two player stubs beside it; `home` holds the user's files.
struct Recorder {
    QTemporaryDir dir;
    QString bin = dir.path() + "/bin/", home = dir.path() + "/home/";
    QByteArray spStub = "MZ" + QByteArray(78846, 'G'), adpcmStub = QByteArray(51200, 'A');
    std::unique_ptr<TVM0007Form> form;
    Recorder() {
        QDir().mkpath(bin + "DATA");
        QDir().mkpath(home);
        put(bin + "VEKVMAIL.INI", "[Main]\r\n");
        put(bin + "vekgplay.exe", spStub);
        put(bin + "vekaplay.exe", adpcmStub);
        TVM0007Form::Environment env;
        env.programDir = bin;
        env.screenSize = [] { return QSize(1024, 768); };
        form = std::make_unique<TVM0007Form>(env);
        bool shown = false;
        QObject::connect(form.get(), &TVM0007Form::shownOnce, [&shown] { shown = true; });
        form->show();
        ts::waitFor([&] { return shown; });
    }
    ~Recorder() {
        form->setModified(false);
        form->close();
    }
    QString at(const QString& name) const { return home + name; }
    // One command whose only window is its file dialog, answered with `answer`.
    void run(void (TVM0007Form::*command)(), const QString& answer) {
        Modals m({answer});
        (form.get()->*command)();
        EXPECT_EQ(m.seen.size(), 1) << m.seen.join('\n').toStdString();
    }
    QString total() const {
        QString s;
        for (TDisplay* d : {form->dsptT6, form->dsptT5, form->dsptT4, form->dsptT3, form->dsptT2, form->dsptT1})
            s += QChar(d->digit());
        return s;
    }
    QString recButtons() const {
        return QString("%1%2%3")
            .arg(form->SBRec->isEnabled())
            .arg(form->SBRec2->isEnabled())
            .arg(form->SBRecP->isEnabled());
    }
};

const QString kCanNotMake =
    "MsgCanNotMakeFile|voice lumo player|Can not make file. (ReadOnly file?)\n(Send mail or "
    "close your mail window because this file is linked.)";

// Holds `path` open with a lock on it: flock() of another open file, or a
// record lock of its own open file description (as another process's
// POSIX lock would show).
int holdLock(const QString& path, bool record) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR);
    struct flock fl {};
    fl.l_type = F_WRLCK;
    return fd >= 0 && (record ? ::fcntl(fd, F_OFD_SETLK, &fl) : ::flock(fd, LOCK_SH | LOCK_NB)) == 0 ? fd : -1;
}

}  // namespace

TEST(RecorderFileCommands, OpenTellsTheModeByTheFirstBytesAndTheExtension) {
    Recorder r;
    TVM0007Form& f = *r.form;
    QByteArray hqFrames, shqFrames;
    const QByteArray dmr = "dmr1d" + QByteArray(600, '\x11');
    const struct {
        const char* name;
        QByteArray content, work;
        int mode;
        const char* recButtons;
        const char* total;
    } cases[] = {
        {"empty.sc4", {}, {}, 4, "100", "000000"},
        {"dmr.sc4", dmr, dmr, 4, "100", "000001"},
        {"hq.sc4", adpcm(2, false, &hqFrames), hqFrames, 5, "010", "000002"},
        {"shq.sc4", adpcm(2, true, &shqFrames), shqFrames, 6, "001", "000002"},
        {"MEMO.SC4", sp(4), sp(4), 4, "100", "000002"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        put(r.at(c.name), c.content);
        f.setEffect(5, 30);
        f.setModified(false);
        r.run(&TVM0007Form::OpenClick, r.at(c.name));
        // ADPCM files give their frames back and the silent ones that fill the last sector.
        const QByteArray work = bytesOf(f.WorkFile());
        EXPECT_EQ(work.left(c.work.size()), c.work);
        EXPECT_EQ((work.size() - c.work.size()) % (c.mode == 4 ? 512 : 29), 0);
        EXPECT_EQ(f.VoiceMode(), c.mode);
        EXPECT_EQ(f.windowTitle(), QString("voice lumo player [%1]").arg(c.name));
        EXPECT_EQ(f.Label4->toolTip(), c.name);
        EXPECT_EQ(f.proposedFileName(), r.at(c.name));
        EXPECT_EQ(f.StatusBar->panelText(2), c.mode == 4 ? "SP" : c.mode == 5 ? "HQ" : "SHQ");
        EXPECT_EQ(r.total(), c.total);
        EXPECT_EQ(r.recButtons(), c.recButtons);
        EXPECT_TRUE(f.SBPlay->isEnabled() && f.SBDelA->isEnabled() && f.SBMailP->isEnabled() &&
                    f.TrackBar->isEnabled());
        EXPECT_EQ(QString("%1/%2").arg(f.EffectIndex()).arg(f.EffectSliderPosition()), "0/80");
        EXPECT_FALSE(f.Modified());
        EXPECT_EQ(f.transportState(), TransportState::Stopped) << "Open does not play";
        if (c.content.isEmpty()) {
            EXPECT_EQ(f.StatusBar->panelText(1), "File Size 0KB");
        }
    }

    // Refusals change nothing: a group header of neither mode, another
    // extension that is no executable, a file that is not there.
    const QByteArray before = bytesOf(f.WorkFile());
    put(r.at("odd.sc4"), QByteArray("\x00\x00\x01\x1B\x1E", 5) + QByteArray(507, '\0'));
    put(r.at("odd.exe"), sp(200));
    Modals m({r.at("odd.sc4"), "Ok", r.at("odd.exe"), "Ok", r.at("none.sc4"), "Ok"});
    for (int i = 0; i < 3; ++i) f.OpenClick();
    const QString bad = "MsgErrorOpen|Open|Can not open file!\n(File format is not valid.)";
    EXPECT_EQ(m.seen, QStringList({"OpenDialog|Open", bad, "OpenDialog|Open", bad, "OpenDialog|Open",
                                   "MsgFileNotExist|Open|File does not exist!"}));
    EXPECT_EQ(f.windowTitle(), "voice lumo player [MEMO.SC4]");
    EXPECT_EQ(f.currentFileName(), r.at("MEMO.SC4"));
    EXPECT_EQ(f.VoiceMode(), 4);
    EXPECT_EQ(bytesOf(f.WorkFile()), before);
    EXPECT_EQ(m.dirs.value(0), QDir(r.home).absolutePath()) << "later dialogs open where the user was";
}

TEST(RecorderFileCommands, NewThenSaveAsWithTheFilterExtensionsAndTheOverwriteQuestion) {
    Recorder r;
    TVM0007Form& f = *r.form;
    put(r.at("a.sc4"), sp(4));
    r.run(&TVM0007Form::OpenClick, r.at("a.sc4"));
    f.setModified(true);
    {
        Modals cancel({"Cancel"});
        f.NewClick();
        EXPECT_EQ(f.windowTitle(), "voice lumo player [a.sc4]");
    }
    Modals no({"No"});
    f.NewClick();
    EXPECT_EQ(f.windowTitle(), "voice lumo player [New]");
    EXPECT_EQ(f.Label4->toolTip(), "");
    EXPECT_FALSE(QFileInfo::exists(f.WorkFile())) << "the next recording makes it anew";
    EXPECT_EQ(r.recButtons(), "111");
    EXPECT_FALSE(f.SBPlay->isEnabled() || f.SBDelB->isEnabled() || f.SBFF->isEnabled() || f.TrackBar->isEnabled());
    EXPECT_EQ(f.StatusBar->panelText(2), "");
    EXPECT_EQ(f.StatusBar->panelText(1), "File Size 0KB");
    EXPECT_EQ(r.total(), "000000");

    // Save without a name is Save As; nothing recorded gives an empty file.
    r.run(&TVM0007Form::SaveClick, r.at("memo"));
    EXPECT_EQ(bytesOf(r.at("memo.sc4")), QByteArray());
    EXPECT_EQ(f.windowTitle(), "voice lumo player [memo.sc4]");
    // The player filter appends ".exe" even to a name ending in ".sc4".
    f.setEffect(3, 100);
    r.run(&TVM0007Form::SaveAsClick, "*1:" + r.at("memo.sc4"));
    const QByteArray exe = bytesOf(r.at("memo.sc4.exe"));
    EXPECT_EQ(exe, r.spStub + QByteArray("TARKAVF\0\x04\x1E\x03\x64", 12));
    r.run(&TVM0007Form::SaveAsClick, r.at("Clip.SC4"));
    r.run(&TVM0007Form::SaveAsClick, "*1:" + r.at("note"));
    EXPECT_EQ(QDir(r.home).entryList(QDir::Files),
              QStringList({"a.sc4", "Clip.SC4", "memo.sc4", "memo.sc4.exe", "note.exe"}));

    // The question names the file really written; No brings the dialog back.
    put(r.at("take.sc4.exe"), "old");
    f.setModified(true);
    Modals m({"*1:" + r.at("take.sc4"), "No", "Cancel"});
    f.SaveAsClick();
    ASSERT_EQ(m.seen.size(), 3) << m.seen.join('\n').toStdString();
    EXPECT_EQ(m.seen[1], "ConfirmOverwrite|Save As|take.sc4.exe already exists.\nDo you want to replace it?");
    EXPECT_EQ(bytesOf(r.at("take.sc4.exe")), "old");
    EXPECT_TRUE(f.Modified());
    Modals yes({"*1:" + r.at("take.sc4"), "Yes"});
    f.SaveAsClick();
    EXPECT_EQ(bytesOf(r.at("take.sc4.exe")), exe);
    EXPECT_FALSE(f.Modified());
}

TEST(RecorderFileCommands, RoundTripsAreByteIdenticalAlsoThroughAnExecutable) {
    Recorder r;
    TVM0007Form& f = *r.form;
    const QByteArray files[] = {sp(9, 7), adpcm(3, false), adpcm(3, true)};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const QString a = r.at(QString("a%1.sc4").arg(i)), b = r.at(QString("b%1.sc4").arg(i)),
                      c = r.at(QString("c%1.exe").arg(i));
        put(a, files[i]);
        r.run(&TVM0007Form::OpenClick, a);
        const QByteArray work = bytesOf(f.WorkFile());
        f.setEffect(7 + i, 33);
        f.setModified(true);
        r.run(&TVM0007Form::SaveAsClick, b);
        EXPECT_EQ(bytesOf(b), files[i]);
        r.run(&TVM0007Form::SaveAsClick, "*1:" + c);
        const QByteArray exe = bytesOf(c);
        EXPECT_EQ(exe.left(i == 0 ? 78848 : 51200), i == 0 ? r.spStub : r.adpcmStub);
        EXPECT_EQ(exe.mid(i == 0 ? 78860 : 51212), work) << "the payload is the working form";

        // Back in, by Open and by a drop onto the window (which also plays).
        f.NewClick();
        f.setEffect(1, 1);
        if (i == 1) {
            f.WMDropFiles({c});
            EXPECT_TRUE(f.transportState() == TransportState::Playing || f.findChild<QMessageBox*>("TransportMessage"));
            f.StopClick();
        } else {
            r.run(&TVM0007Form::OpenClick, c);
        }
        EXPECT_EQ(f.windowTitle(), "voice lumo player [" + QFileInfo(c).fileName() + "]");
        EXPECT_EQ(f.VoiceMode(), 4 + i);
        EXPECT_EQ(QString("%1/%2").arg(f.EffectIndex()).arg(f.EffectSliderPosition()), QString("%1/33").arg(7 + i));
        EXPECT_EQ(bytesOf(f.WorkFile()), work);
        // Save into the open executable rebuilds it; Save As SC4 gives the
        // file back; both keep the permissions of the file they replace.
        for (const QString& p : {b, c})
            QFile::setPermissions(p, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        f.setModified(true);
        f.SaveClick();
        EXPECT_FALSE(f.Modified());
        EXPECT_EQ(bytesOf(c), exe);
        Modals m({b, "Yes"});
        f.SaveAsClick();
        EXPECT_EQ(bytesOf(b), files[i]);
        for (const QString& p : {b, c}) EXPECT_EQ(QFileInfo(p).permissions() & 0x0FFF, 0x0640);
    }
}

TEST(RecorderFileCommands, ATargetThatIsLockedOrTheWorkingFileIsNotTouched) {
    Recorder r;
    TVM0007Form& f = *r.form;
    put(r.at("a.sc4"), sp(3));
    r.run(&TVM0007Form::OpenClick, r.at("a.sc4"));
    f.setModified(true);
    auto refused = [&](const QString& answer, const QString& target, const QString& message) {
        const QByteArray old = bytesOf(target);
        Modals m({answer, "Yes", "Ok"});
        f.SaveAsClick();
        EXPECT_EQ(m.seen.value(2), message) << target.toStdString();
        EXPECT_EQ(bytesOf(target), old);
        EXPECT_TRUE(f.Modified());
        EXPECT_EQ(f.windowTitle(), "voice lumo player [a.sc4]");
    };
    // Held by a lock of another open file: as SC4 file and as executable.
    for (const QString name : {"t.sc4", "t.exe"}) {
        const QString target = r.at(name);
        put(target, "old");
        for (bool record : {false, true}) {
            const int fd = holdLock(target, record);
            ASSERT_GE(fd, 0);
            refused((name.endsWith("exe") ? "*1:" : "") + target, target, kCanNotMake);
            ::close(fd);
        }
    }
    // The current file held: Save refuses, and New, whose save did not
    // happen, keeps the recording.
    const int fd = holdLock(r.at("a.sc4"), false);
    ASSERT_GE(fd, 0);
    {
        Modals m({"Ok"});
        f.SaveClick();
        EXPECT_EQ(m.seen, QStringList({kCanNotMake}));
    }
    Modals n({"Yes", "Ok"});
    f.NewClick();
    EXPECT_EQ(n.seen, QStringList({"SaveChangesBox|Confirm|Save changes to file?", kCanNotMake}));
    EXPECT_EQ(f.windowTitle(), "voice lumo player [a.sc4]");
    EXPECT_EQ(bytesOf(f.WorkFile()), sp(3));
    ::close(fd);

    // A link to the working file: the recording is never written onto itself.
    ASSERT_TRUE(QFile::link(f.WorkFile(), r.at("work.sc4")));
    refused(r.at("work.sc4"), f.WorkFile(),
            "MsgSaveFailed|voice lumo player|Can not save file!\n(This is the recorder's own working file.)");
}

TEST(RecorderFileCommands, ASaveOrOpenThatRunsOutOfSpaceChangesNothingAndSaysSo) {
    Recorder r;
    TVM0007Form& f = *r.form;
    const ts::TmpfsMount small(QFile::encodeName(r.at("small")).toStdString(), "64k");
    if (!small.mounted()) GTEST_SKIP() << small.skipReason();
    const QString target = r.at("small/t.sc4");
    const QByteArray old = sp(40, 3);
    put(target, old);
    const QString failed =
        "MsgSaveFailed|voice lumo player|Can not save file! (No space left on device)\n(Nothing was "
        "saved; the file is as it was.)";
    // 150 KB of SP sectors copied, 160 KB of HQ frames wrapped by the codec
    // library, and an executable whose stub alone does not fit.
    for (const QByteArray& src : {sp(300, 4), adpcm(40, false)}) {
        put(r.at("big.sc4"), src);
        f.setModified(false);
        r.run(&TVM0007Form::OpenClick, r.at("big.sc4"));
        f.setModified(true);
        Modals m({target, "Yes", "Ok", "*1:" + r.at("small/t.exe"), "Ok"});
        f.SaveAsClick();
        f.SaveAsClick();
        EXPECT_EQ(m.seen.value(2), failed);
        EXPECT_EQ(m.seen.value(4), failed);
        EXPECT_EQ(bytesOf(target), old);
        EXPECT_EQ(ts::listing(small.path()), std::vector<std::string>{"t.sc4"}) << "nothing half-written is left";
        EXPECT_TRUE(f.Modified());
        EXPECT_EQ(f.windowTitle(), "voice lumo player [big.sc4]");
    }
    // An open whose recording does not fit into the data folder changes nothing.
    const QByteArray work = bytesOf(f.WorkFile());
    put(r.at("sp.sc4"), sp(300, 5));
    f.setModified(false);
    {
        const ts::TmpfsMount full(QFile::encodeName(f.DataDir()).toStdString(), "64k");
        ASSERT_TRUE(full.mounted()) << full.skipReason();
        Modals m({r.at("sp.sc4"), "Ok"});
        f.OpenClick();
        EXPECT_EQ(m.seen.value(1),
                  "MsgLoadFailed|Open|Can not open file!\n(The recording could not be read; nothing "
                  "changed.)");
        EXPECT_EQ(ts::listing(full.path()), std::vector<std::string>{});
    }
    EXPECT_EQ(f.windowTitle(), "voice lumo player [big.sc4]");
    EXPECT_EQ(f.VoiceMode(), 5);
    EXPECT_EQ(bytesOf(f.WorkFile()), work);
}
