// The recorder window's file commands headless: what Open recognises, the
// Save As names, byte-identical round trips through SC4 files and
// self-playing executables, targets that are read-only, locked or on a full
// disk, New and its question, and the hand-over of an executable. The file
// dialogs and message boxes are answered as a person would, in order.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup.hpp"
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
#include <QAction>
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

#include <deque>
#include <memory>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

// Readable QStrings in failure messages.
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
    const auto rate = shq ? 11025u : 8000u;
    QByteArray sc4 = ts::toByteArray(ts::adpcmSc4FromPcm(ts::speechLike(std::size_t(seconds * rate)), shq, &f));
    if (frames) *frames = ts::toByteArray(f);
    return sc4;
}

// Answers the modal windows that come up, one action each, in order, and
// writes each down as "objectName|title|text". A window nobody expected is
// written down as such and closed, so that a test never hangs.
class Modals : public QObject {
public:
    using Act = std::function<void(QWidget*)>;
    // The newest one answers; an older one waits until it is gone.
    Modals() : m_outer(s_top) {
        s_top = this;
        qApp->installEventFilter(this);
        connect(&m_timer, &QTimer::timeout, this, &Modals::poll);
        m_timer.start(10);
    }
    ~Modals() override {
        qApp->removeEventFilter(this);
        s_top = m_outer;
    }
    Modals& then(Act a) {
        m_acts.push_back(std::move(a));
        return *this;
    }
    // A file dialog: the filter (0 SC4, 1 executable), then the name typed.
    Modals& choose(const QString& path, int filter = 0) {
        return then([this, path, filter](QWidget* w) {
            auto* d = qobject_cast<QFileDialog*>(w);
            if (!d) return reject(w);
            dirs << QDir(d->directory()).absolutePath();
            d->selectNameFilter(d->nameFilters().value(filter));
            // Typed into the name field, nothing picked in the list.
            for (auto* v : d->findChildren<QAbstractItemView*>()) v->clearSelection();
            auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (!edit) return reject(d);
            edit->setText(path);
            static_cast<QDialog*>(d)->accept();  // Return
        });
    }
    Modals& cancel() {
        return then([this](QWidget* w) { reject(w); });
    }
    Modals& press(QMessageBox::StandardButton b = QMessageBox::Ok) {
        return then([b](QWidget* w) {
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->button(b))
                box->button(b)->click();
            else if (auto* d = qobject_cast<QDialog*>(w))
                d->reject();
        });
    }
    QStringList seen, dirs;

private:
    static void reject(QWidget* w) {
        if (auto* d = qobject_cast<QDialog*>(w)) d->reject();
    }
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Hide && o == m_current) m_current = nullptr;
        return false;
    }
    void poll() {
        QWidget* w = QApplication::activeModalWidget();
        if (s_top != this || !w || !w->isVisible()) return;
        if (w == m_current) {
            // An answer that did not close its window fails the test, not the run.
            if (m_since.elapsed() > 3000) {
                seen << "stuck:" + w->objectName();
                reject(w);
            }
            return;
        }
        m_current = w;
        m_since.start();
        auto* box = qobject_cast<QMessageBox*>(w);
        seen << w->objectName() + "|" + w->windowTitle() + (box ? "|" + box->text() : QString());
        if (m_acts.empty()) {
            seen.last().prepend("unexpected:");
            reject(w);
            return;
        }
        Act a = std::move(m_acts.front());
        m_acts.pop_front();
        a(w);
    }
    QTimer m_timer;
    std::deque<Act> m_acts;
    QPointer<QWidget> m_current;
    QElapsedTimer m_since;
    Modals* m_outer;
    static inline Modals* s_top = nullptr;
};

// The window in a program folder of its own with the data folder and the
// settings beside it, and the two player stubs when asked for.
struct Recorder {
    QTemporaryDir dir;
    QString bin, home;
    std::unique_ptr<TVM0007Form> form;
    QByteArray spStub = QByteArray(78848, 'G'), adpcmStub = QByteArray(51200, 'A');
    explicit Recorder(bool stubs = true) {
        bin = dir.path() + "/bin/";
        home = dir.path() + "/home/";
        QDir().mkpath(bin + "DATA");
        QDir().mkpath(home);
        put(bin + "VEKVMAIL.INI", "[Main]\r\n");
        if (stubs) {
            spStub[0] = 'M', spStub[1] = 'Z';
            put(bin + "vekgplay.exe", spStub);
            put(bin + "vekaplay.exe", adpcmStub);
        }
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
    void open(const QString& path) {
        Modals m;
        m.choose(path);
        form->OpenClick();
        ASSERT_EQ(m.seen.size(), 1) << m.seen.join('\n').toStdString();
        ASSERT_EQ(form->currentFileName(), path);
    }
    void saveAs(const QString& path, int filter = 0) {
        Modals m;
        m.choose(path, filter);
        form->SaveAsClick();
        ASSERT_EQ(m.seen.size(), 1) << m.seen.join('\n').toStdString();
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

// A process of its own holding a POSIX write lock on `path` until killed.
pid_t holdRecordLock(const QString& path) {
    int ready[2];
    if (::pipe(ready) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR);
        struct flock fl {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        const char ok = fd >= 0 && ::fcntl(fd, F_SETLK, &fl) == 0 ? 'y' : 'n';
        (void)!::write(ready[1], &ok, 1);
        ::pause();
        ::_exit(0);
    }
    char c = 0;
    (void)!::read(ready[0], &c, 1);
    ::close(ready[0]);
    ::close(ready[1]);
    return c == 'y' ? pid : -1;
}

}  // namespace

TEST(RecorderFileCommands, OpenTellsTheModeByTheFirstBytesAndTheExtension) {
    Recorder r;
    TVM0007Form& f = *r.form;
    QByteArray hqFrames, shqFrames;
    const QByteArray hq = adpcm(2, false, &hqFrames), shq = adpcm(2, true, &shqFrames);
    struct Case {
        const char* name;
        QByteArray content, work;
        int mode;
        const char* size;
        const char* total;
    };
    const QByteArray dmr = QByteArray("dmr1d") + QByteArray(600, '\x11');
    const Case cases[] = {
        {"empty.sc4", QByteArray(), QByteArray(), 4, "File Size 0KB", "000000"},
        {"dmr.sc4", dmr, dmr, 4, nullptr, nullptr},
        {"hq.sc4", hq, hqFrames, 5, nullptr, "000002"},
        {"shq.sc4", shq, shqFrames, 6, nullptr, "000002"},
        {"MEMO.SC4", sp(4), sp(4), 4, "File Size 2KB", "000002"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        put(r.at(c.name), c.content);
        f.setEffect(5, 30);
        f.setModified(false);
        r.open(r.at(c.name));
        // The codec's reader gives the frames back, and the silent frames
        // that fill the last sector.
        const QByteArray work = bytesOf(f.WorkFile());
        EXPECT_EQ(work.left(c.work.size()), c.work);
        EXPECT_EQ((work.size() - c.work.size()) % (c.mode == 4 ? 512 : 29), 0);
        EXPECT_EQ(f.VoiceMode(), c.mode);
        EXPECT_EQ(f.windowTitle(), QString("voice lumo player [%1]").arg(c.name));
        EXPECT_EQ(f.Label4->toolTip(), c.name);
        EXPECT_EQ(f.proposedFileName(), r.at(c.name));
        EXPECT_EQ(f.StatusBar->panelText(2), c.mode == 4 ? "SP" : c.mode == 5 ? "HQ" : "SHQ");
        if (c.size) {
            EXPECT_EQ(f.StatusBar->panelText(1), c.size);
        }
        if (c.total) {
            EXPECT_EQ(r.total(), c.total);
        }
        EXPECT_EQ(r.recButtons(), c.mode == 4 ? "100" : c.mode == 5 ? "010" : "001");
        for (QWidget* w : std::initializer_list<QWidget*>{f.SBPlay, f.SBFF, f.SBFB, f.SBDelA, f.SBDelB, f.SBMail,
                                                          f.SBMailP, f.TrackBar})
            EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
        EXPECT_EQ(f.EffectIndex(), 0);
        EXPECT_EQ(f.EffectSliderPosition(), 80);
        EXPECT_FALSE(f.Modified());
        EXPECT_TRUE(f.targetCheck());
        EXPECT_EQ(f.transportState(), TransportState::Stopped) << "Open does not play";
    }

    // Refusals change nothing: a sixth group-header byte of neither mode, a
    // file of another extension that is no executable, a missing file.
    const QByteArray before = bytesOf(f.WorkFile());
    put(r.at("odd.sc4"), QByteArray("\x00\x00\x01\x1B\x1E", 5) + QByteArray(507, '\0'));
    put(r.at("odd.exe"), sp(200));
    Modals m;
    m.choose(r.at("odd.sc4")).press().choose(r.at("odd.exe")).press().choose(r.at("none.sc4")).press();
    for (int i = 0; i < 3; ++i) f.OpenClick();
    const QString bad = "MsgErrorOpen|Open|Can not open file!\n(File format is not valid.)";
    EXPECT_EQ(m.seen, QStringList({"OpenDialog|Open", bad, "OpenDialog|Open", bad, "OpenDialog|Open",
                                   "MsgFileNotExist|Open|File does not exist!"}));
    EXPECT_EQ(f.windowTitle(), "voice lumo player [MEMO.SC4]");
    EXPECT_EQ(f.currentFileName(), r.at("MEMO.SC4"));
    EXPECT_EQ(f.VoiceMode(), 4);
    EXPECT_EQ(bytesOf(f.WorkFile()), before);
    // After the first open the dialog opens where the user last was.
    EXPECT_EQ(m.dirs.value(0), QDir(r.home).absolutePath());
}

TEST(RecorderFileCommands, SaveAsAppendsTheFilterExtensionAndAsksBeforeReplacing) {
    Recorder r;
    TVM0007Form& f = *r.form;
    {
        // Save with no file name is Save As; nothing recorded: an empty file.
        Modals m;
        m.choose(r.at("memo"));
        f.SaveClick();
        EXPECT_EQ(m.dirs, QStringList({QDir(f.DataDir()).absolutePath()}))
            << "the first dialog opens in the data folder";
    }
    EXPECT_EQ(bytesOf(r.at("memo.sc4")), QByteArray());
    EXPECT_EQ(f.windowTitle(), "voice lumo player [memo.sc4]");
    EXPECT_EQ(f.currentFileName(), r.at("memo.sc4"));

    // The executable filter appends ".exe" even to a name ending in ".sc4".
    f.setEffect(3, 100);
    r.saveAs(r.at("memo.sc4"), 1);
    const QByteArray exe = bytesOf(r.at("memo.sc4.exe"));
    EXPECT_EQ(exe, r.spStub + QByteArray("TARKAVF\0\x04\x1E\x03\x64", 12));
    EXPECT_EQ(f.windowTitle(), "voice lumo player [memo.sc4.exe]");
    r.saveAs(r.at("Clip.SC4"));
    EXPECT_TRUE(QFileInfo::exists(r.at("Clip.SC4")));
    EXPECT_FALSE(QFileInfo::exists(r.at("Clip.SC4.sc4")));
    r.saveAs(r.at("note"), 1);
    EXPECT_TRUE(QFileInfo::exists(r.at("note.exe"))) << QDir(r.home).entryList().join(' ').toStdString();

    // The question is about the name really written; No brings the dialog back.
    put(r.at("take.sc4.exe"), "old");
    Modals m;
    m.choose(r.at("take.sc4"), 1).press(QMessageBox::No).cancel();
    f.setModified(true);
    f.SaveAsClick();
    ASSERT_EQ(m.seen.size(), 3) << m.seen.join('\n').toStdString();
    EXPECT_EQ(m.seen[1], "ConfirmOverwrite|Save As|take.sc4.exe already exists.\nDo you want to replace it?");
    EXPECT_EQ(bytesOf(r.at("take.sc4.exe")), "old");
    EXPECT_TRUE(f.Modified());
    Modals yes;
    yes.choose(r.at("take.sc4"), 1).press(QMessageBox::Yes);
    f.SaveAsClick();
    EXPECT_EQ(yes.seen.size(), 2) << yes.seen.join('\n').toStdString();
    EXPECT_EQ(bytesOf(r.at("take.sc4.exe")), exe);
    EXPECT_FALSE(f.Modified());
}

TEST(RecorderFileCommands, RoundTripsAreByteIdenticalAlsoThroughAnExecutable) {
    Recorder r;
    TVM0007Form& f = *r.form;
    const QByteArray files[] = {sp(9, 7), adpcm(3, false), adpcm(3, true)};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const QString a = r.at(QString("a%1.sc4").arg(i));
        put(a, files[i]);
        r.open(a);
        const QByteArray work = bytesOf(f.WorkFile());
        f.setEffect(7 + i, 33);
        f.setModified(true);
        const QString b = r.at(QString("b%1.sc4").arg(i)), c = r.at(QString("c%1.exe").arg(i));
        r.saveAs(b);
        EXPECT_EQ(bytesOf(b), files[i]);
        r.saveAs(c, 1);
        const QByteArray exe = bytesOf(c);
        EXPECT_EQ(exe.left(i == 0 ? 78848 : 51200), i == 0 ? r.spStub : r.adpcmStub);
        EXPECT_EQ(exe.mid(i == 0 ? 78860 : 51212), work) << "the payload is the working form";

        f.NewClick();
        f.setEffect(1, 1);
        r.open(c);
        EXPECT_EQ(f.VoiceMode(), 4 + i);
        EXPECT_EQ(f.EffectIndex(), 7 + i) << "the executable brings its effect back";
        EXPECT_EQ(f.EffectSliderPosition(), 33);
        EXPECT_EQ(bytesOf(f.WorkFile()), work);
        // Save into the open executable rebuilds it; Save As SC4 gives the file back.
        f.setModified(true);
        f.SaveClick();
        EXPECT_FALSE(f.Modified());
        EXPECT_EQ(bytesOf(c), exe);
        Modals m;
        m.choose(b).press(QMessageBox::Yes);
        f.SaveAsClick();
        EXPECT_EQ(bytesOf(b), files[i]);
    }
}

TEST(RecorderFileCommands, ATargetThatIsHeldReadOnlyOrTheWorkingFileIsNotTouched) {
    Recorder r;
    TVM0007Form& f = *r.form;
    put(r.at("a.sc4"), sp(3));
    r.open(r.at("a.sc4"));
    f.setModified(true);
    auto refused = [&](const QString& target, int filter, const QString& message) {
        const QByteArray old = bytesOf(target);
        Modals m;
        m.choose(target, filter).press(QMessageBox::Yes).press();
        f.SaveAsClick();
        EXPECT_EQ(m.seen.value(2), message) << target.toStdString();
        EXPECT_EQ(bytesOf(target), old);
        EXPECT_TRUE(f.Modified());
        EXPECT_EQ(f.windowTitle(), "voice lumo player [a.sc4]");
    };

    // Locked by flock (another open file), by a record lock of another
    // process: as SC4 and as executable; Save of the current file likewise.
    put(r.at("t.sc4"), "old");
    put(r.at("t.exe"), "old");
    for (const char* name : {"t.sc4", "t.exe"}) {
        const int fd = ::open(QFile::encodeName(r.at(name)).constData(), O_RDONLY);
        ASSERT_EQ(::flock(fd, LOCK_SH | LOCK_NB), 0);
        refused(r.at(name), QString(name).endsWith("exe"), kCanNotMake);
        ::close(fd);
        const pid_t holder = holdRecordLock(r.at(name));
        ASSERT_GT(holder, 0);
        refused(r.at(name), QString(name).endsWith("exe"), kCanNotMake);
        ::kill(holder, SIGKILL);
        ::waitpid(holder, nullptr, 0);
    }
    {
        const int fd = ::open(QFile::encodeName(r.at("a.sc4")).constData(), O_RDONLY);
        ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        {
            Modals m;
            m.press();
            f.SaveClick();
            EXPECT_EQ(m.seen, QStringList({kCanNotMake}));
            EXPECT_TRUE(f.Modified());
        }
        // New asks first; a save that did not happen keeps the recording.
        Modals n;
        n.press(QMessageBox::Yes).press();
        f.NewClick();
        EXPECT_EQ(n.seen, QStringList({"SaveChangesBox|Confirm|Save changes to file?", kCanNotMake}));
        EXPECT_EQ(f.windowTitle(), "voice lumo player [a.sc4]");
        EXPECT_EQ(bytesOf(f.WorkFile()), sp(3));
        ::close(fd);
    }

    // Read-only: permissions where they bind, else a read-only mount.
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod(QFile::encodeName(r.at("t.sc4")).constData(), 0444), 0);
        refused(r.at("t.sc4"), 0, kCanNotMake);
    } else {
        const ts::TmpfsMount ro(QFile::encodeName(r.at("ro")).toStdString(), "64k");
        if (ro.mounted()) {
            put(r.at("ro/t.sc4"), "old");
            ASSERT_EQ(::mount(nullptr, ro.path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
            refused(r.at("ro/t.sc4"), 0, kCanNotMake);
        }
    }

    // A link to the working file: the recording is never written onto itself.
    ASSERT_TRUE(QFile::link(f.WorkFile(), r.at("work.sc4")));
    const QByteArray work = bytesOf(f.WorkFile());
    refused(r.at("work.sc4"), 0,
            "MsgSaveFailed|voice lumo player|Can not save file!\n(This is the recorder's own working file.)");
    EXPECT_EQ(bytesOf(f.WorkFile()), work);
}

TEST(RecorderFileCommands, ASaveThatRunsOutOfSpaceLeavesTheOldFileAndSaysSo) {
    Recorder r;
    TVM0007Form& f = *r.form;
    const ts::TmpfsMount small(QFile::encodeName(r.at("small")).toStdString(), "64k");
    if (!small.mounted()) GTEST_SKIP() << small.skipReason();
    const QString target = r.at("small/t.sc4");
    const QByteArray old = sp(40, 3);  // 20 KB
    put(target, old);
    const QString failed =
        "MsgSaveFailed|voice lumo player|Can not save file! (No space left on device)\n(Nothing was "
        "saved; the file is as it was.)";
    // 150 KB of SP sectors copied, 160 KB of HQ frames wrapped by the codec
    // library, and an executable whose stub alone does not fit.
    const QByteArray sources[] = {sp(300, 4), adpcm(40, false)};
    for (const QByteArray& src : sources) {
        put(r.at("big.sc4"), src);
        f.setModified(false);
        r.open(r.at("big.sc4"));
        f.setModified(true);
        for (const char* name : {"t.sc4", "t.exe"}) {
            Modals m;
            m.choose(r.at("small/") + name, QString(name).endsWith("exe")).press(QMessageBox::Yes).press();
            f.SaveAsClick();
            EXPECT_EQ(m.seen.value(QString(name) == "t.sc4" ? 2 : 1), failed) << m.seen.join('\n').toStdString();
        }
        EXPECT_EQ(bytesOf(target), old);
        EXPECT_EQ(ts::listing(small.path()), std::vector<std::string>{"t.sc4"}) << "nothing half-written is left";
        EXPECT_TRUE(f.Modified());
        EXPECT_EQ(f.windowTitle(), "voice lumo player [big.sc4]");
    }
}

TEST(RecorderFileCommands, NewEmptiesEverythingAndCancelKeepsTheRecording) {
    Recorder r;
    TVM0007Form& f = *r.form;
    put(r.at("a.sc4"), adpcm(2, true));
    r.open(r.at("a.sc4"));
    f.setEffect(4, 20);
    f.setModified(true);
    {
        Modals m;
        m.press(QMessageBox::Cancel);
        f.NewClick();
        EXPECT_EQ(f.windowTitle(), "voice lumo player [a.sc4]");
        EXPECT_TRUE(QFileInfo::exists(f.WorkFile()));
    }
    Modals m;
    m.press(QMessageBox::No);
    f.NewClick();
    EXPECT_EQ(m.seen.size(), 1);
    EXPECT_EQ(f.windowTitle(), "voice lumo player [New]");
    EXPECT_EQ(f.Label4->toolTip(), "");
    EXPECT_EQ(f.currentFileName(), "");
    EXPECT_FALSE(QFileInfo::exists(f.WorkFile())) << "the next recording makes it anew";
    EXPECT_FALSE(f.Modified());
    EXPECT_EQ(f.VoiceMode(), 4);
    EXPECT_EQ(r.recButtons(), "111");
    for (QWidget* w : std::initializer_list<QWidget*>{f.SBPlay, f.SBFF, f.SBFB, f.SBDelA, f.SBDelB, f.TrackBar})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_EQ(f.TrackBar->position(), 0);
    EXPECT_EQ(f.StatusBar->panelText(2), "");
    EXPECT_EQ(f.StatusBar->panelText(1), "File Size 0KB");
    EXPECT_EQ(r.total(), "000000");
    EXPECT_EQ(f.EffectIndex(), 0);
    EXPECT_EQ(f.EffectSliderPosition(), 80);
}

TEST(RecorderFileCommands, AHandedOverExecutableIsOpenedAndPlayed) {
    Recorder r;
    TVM0007Form& f = *r.form;
    QByteArray frames;
    put(r.at("a.sc4"), adpcm(2, false, &frames));
    r.open(r.at("a.sc4"));
    f.setEffect(12, 90);
    r.saveAs(r.at("hand.exe"), 1);
    f.NewClick();
    f.openHandedOverFile(r.at("hand.exe"));
    EXPECT_EQ(f.windowTitle(), "voice lumo player [hand.exe]");
    EXPECT_EQ(f.VoiceMode(), 5);
    EXPECT_EQ(f.EffectIndex(), 12);
    EXPECT_EQ(f.EffectSliderPosition(), 90);
    EXPECT_EQ(bytesOf(f.WorkFile()).left(frames.size()), frames);
    // Played from the start: the engine took the file, or said why it could not.
    EXPECT_TRUE(f.transportState() == TransportState::Playing || f.findChild<QMessageBox*>("TransportMessage"));
}
