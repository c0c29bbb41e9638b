// vekconv to-wav: the manager's SC4-to-WAV job run from a terminal. Also
// holds the terminal host that to-sc4 shares.
// SPDX-License-Identifier: GPL-3.0-or-later
#if defined(VEKCONV_HAVE_VEK_JOBS)

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include <signal.h>

#include <unistd.h>

#include "cli.hpp"
#include "vek/jobs/conversion.hpp"
#include "vekwf.h"

namespace vekconv {

namespace {

namespace jobs = vek::jobs;

// Cleared by Ctrl+C; the job sees it at its next check, finishes the file in
// progress shorter and stops.
std::atomic<bool>* g_continue = nullptr;

extern "C" void onInterrupt(int) {
    if (g_continue) g_continue->store(false);
}

enum class Replace { Ask, Yes, No };

// Main window and job window in one: the "folder of the list" is the folder
// of the file being converted, messages go to stderr, the gauge becomes a
// progress bar when stderr is a terminal.
class TerminalHost final : public jobs::MainWindowServices, public jobs::JobUi {
public:
    explicit TerminalHost(Replace replace)
        : m_replace(replace), m_barOn(::isatty(STDERR_FILENO) == 1), m_canAsk(::isatty(STDIN_FILENO) == 1) {}

    std::string folder;
    int problems = 0;  // messages shown, questions refused
    int declined = 0;  // replace questions answered No (by option or on the terminal)

    std::string listFolderPath() const override { return folder; }
    void showWrittenFile(const std::string& path) override {
        endBar();
        std::cout << path << '\n' << std::flush;
        // A sound file without samples makes an empty SC4 file: a recording
        // of nothing, which the recorder opens (as SP), counted as written.
        // Said once, since 'info' and 'to-wav' then call it invalid.
        std::error_code ec;
        if (jobs::lowerExtension(path) == ".sc4" && std::filesystem::file_size(path, ec) == 0 && !ec)
            std::cerr << "vekconv: note: '" << path << "' is empty: its source holds no audio\n";
    }
    void forceFGWindow() override {}

    void message(const std::string& text, const std::string&, jobs::MessageIcon) override {
        endBar();
        ++problems;
        std::string t = text;
        for (char& c : t)
            if (c == '\r') c = '\n';
        error(t);
    }
    bool askYesNo(const std::string& text, const std::string&) override {
        endBar();
        if (m_replace != Replace::Ask) {
            if (m_replace == Replace::No) ++declined;
            return m_replace == Replace::Yes;
        }
        std::string t = text;
        for (char& c : t)
            if (c == '\r') c = '\n';
        if (!m_canAsk) {
            error(t.substr(0, t.find('\n')) + " Not replaced (use --yes to replace, --no to keep).");
            ++problems;
            return false;
        }
        std::cerr << t << " [y/N] " << std::flush;
        std::string answer;
        const bool yes = std::getline(std::cin, answer) && !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
        if (!yes) ++declined;
        return yes;
    }
    void setStatus(const std::string& text) override { m_status = text; }
    void setGauge(int percent) override {
        if (!m_barOn) return;
        const int width = 30;
        const int fill = percent * width / 100;
        std::string bar(static_cast<std::size_t>(fill), '#');
        bar.resize(width, '.');
        std::string status = m_status;
        if (status.size() > 48) status = status.substr(0, 45) + "...";
        std::fprintf(stderr, "\r%-48s [%s] %3d%%", status.c_str(), bar.c_str(), percent);
        std::fflush(stderr);
        m_barShown = true;
    }
    void processMessages() override {}
    void setBusyCursor(bool) override {}

    void endBar() {
        if (m_barShown) std::fputc('\n', stderr);
        m_barShown = false;
    }

private:
    Replace m_replace;
    bool m_barOn;
    bool m_canAsk;
    bool m_barShown = false;
    std::string m_status;
};

}  // namespace

// Shared by to-wav and to-sc4: options, the per-file walk and the exit status.
int runConversionCommand(const Args& args, bool toWav) {
    Replace replace = Replace::Ask;
    std::uint8_t mode = 0;
    jobs::SoundFormat format = jobs::SoundFormat::Wav;
    std::vector<std::string> files;
    const char* cmd = toWav ? "to-wav" : "to-sc4";
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--yes" || a == "-y") {
            replace = Replace::Yes;
        } else if (a == "--no" || a == "-n") {
            replace = Replace::No;
        } else if (!toWav && (a == "--mode" || a.rfind("--mode=", 0) == 0)) {
            std::string v;
            if (a == "--mode") {
                if (i + 1 >= args.size()) {
                    error(std::string(cmd) + ": --mode needs a value (sp, hq or shq)");
                    return 2;
                }
                v = args[++i];
            } else {
                v = a.substr(7);
            }
            if (v == "sp") mode = jobs::kModeSP;
            else if (v == "hq") mode = jobs::kModeHQ;
            else if (v == "shq") mode = jobs::kModeSHQ;
            else {
                error(std::string(cmd) + ": unknown mode '" + v + "' (sp, hq or shq)");
                return 2;
            }
        } else if (toWav && (a == "--format" || a.rfind("--format=", 0) == 0)) {
            std::string v;
            if (a == "--format") {
                if (i + 1 >= args.size()) {
                    error("to-wav: --format needs a value (wav, flac, ogg, opus or mp3)");
                    return 2;
                }
                v = args[++i];
            } else {
                v = a.substr(9);
            }
            if (v == "wav")
                format = jobs::SoundFormat::Wav;
            else if (v == "flac")
                format = jobs::SoundFormat::Flac;
            else if (v == "ogg")
                format = jobs::SoundFormat::Ogg;
            else if (v == "opus")
                format = jobs::SoundFormat::Opus;
            else if (v == "mp3")
                format = jobs::SoundFormat::Mp3;
            else {
                error("to-wav: unknown format '" + v + "' (wav, flac, ogg, opus or mp3)");
                return 2;
            }
        } else if (a == "--") {
            files.insert(files.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        } else if (!a.empty() && a[0] == '-') {
            error(std::string(cmd) + ": unknown option '" + a + "' (see 'vekconv " + cmd + " --help')");
            return 2;
        } else {
            files.push_back(a);
        }
    }
    if (!toWav && mode == 0) {
        error("to-sc4: --mode sp|hq|shq is required");
        return 2;
    }
    if (files.empty()) {
        error(std::string(cmd) + ": no file given (see 'vekconv " + cmd + " --help')");
        return 2;
    }
    if (mode == jobs::kModeSP && !jobs::haveSpCodec()) {
        error("to-sc4: this build has no SP codec library");
        return 1;
    }

    // Both rates the job writes (8000 Hz for SP and HQ, 11025 Hz for SHQ):
    // a libsndfile built without an encoder is named before anything starts.
    for (const int32_t rate : {8000, 11025}) {
        if (!AudioFormatAvailable(static_cast<int32_t>(format), rate)) {
            error(std::string("to-wav: this build's libsndfile cannot write ") + jobs::soundFormatExtension(format) +
                  " files at " + std::to_string(rate) + " Hz");
            return 1;
        }
    }
    static jobs::ConversionState state;  // the job buffers live as long as the process
    TerminalHost host(replace);
    jobs::JobContext ctx{state, host, host, jobs::defaultCodecs(), jobs::defaultWave()};
    state.ConvMode = mode;
    state.OutputFormat = format;
    state.ConvertedCount = 0;

    host.ContinueFlag = true;
    g_continue = &host.ContinueFlag;
    struct sigaction sa {};
    struct sigaction old {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &old);

    const std::string wanted = toWav ? ".sc4" : ".wav";  // to-sc4 also takes FLAC, Ogg, MP3, AIFF, ...
    int failed = 0;
    for (const std::string& path : files) {
        if (!host.ContinueFlag) break;
        namespace fs = std::filesystem;
        const fs::path p(path);
        if (!jobs::FileExistsNotDir(path)) {
            error("'" + path + "': " + notAFileReason(path));
            ++failed;
            continue;
        }
        const std::string leaf = p.filename().string();
        if (toWav ? jobs::lowerExtension(leaf) != wanted : !jobs::isSoundFileName(leaf)) {
            error("'" + path + "': not a " + wanted + (toWav ? "" : " or other sound") + " file");
            ++failed;
            continue;
        }
        host.folder = (p.has_parent_path() ? p.parent_path().string() : std::string(".")) + "/";
        state.SelectedNames = {p.filename().string()};
        const int before = state.ConvertedCount;
        const int problemsBefore = host.problems;
        const int declinedBefore = host.declined;
        if (toWav)
            jobs::runSc4ToWavJob(ctx);
        else
            jobs::runWavToSc4Job(ctx);
        host.endBar();
        // A file kept on purpose is no failure; anything reported is.
        const bool kept = host.declined != declinedBefore;
        if (host.problems != problemsBefore || (state.ConvertedCount == before && !kept)) ++failed;
    }
    const bool interrupted = !host.ContinueFlag;
    sigaction(SIGINT, &old, nullptr);
    g_continue = nullptr;
    if (interrupted) {
        error(std::string(cmd) + ": cancelled");
        return 130;
    }
    return failed ? 1 : 0;
}

namespace {

const Register toWavCommand{{
    "to-wav",
    "to-wav [--format F] [--yes|--no] FILE.sc4...    convert SC4 voice files to WAV (or FLAC, Ogg, Opus, MP3)",
    "Usage: vekconv to-wav [--format wav|flac|ogg|opus|mp3] [--yes|--no] FILE.sc4...\n\n"
    "Converts each SC4 voice file (SP, HQ or SHQ) to a 16-bit mono WAV file in the\n"
    "same folder under the same stem (MEMO.SC4 -> MEMO.wav): 8000 Hz for SP and HQ,\n"
    "11025 Hz for SHQ. A block that fails to decode becomes silence.\n\n"
    "  --format F  the kind of file written (default wav): flac (lossless), ogg\n"
    "              (Vorbis), opus or mp3, named MEMO.flac and so on. Opus codes only\n"
    "              8, 12, 16, 24 and 48 kHz: SHQ's 11025 Hz is resampled to 12000 Hz.\n"
    "  --yes, -y   replace existing WAV files without asking\n"
    "  --no, -n    keep existing WAV files (skip those sources; not a failure)\n\n"
    "Without either, the question is asked on the terminal; when stdin is not a\n"
    "terminal an existing file is kept and the run fails. Ctrl+C cancels: the file in\n"
    "progress is finished shorter but valid, and the remaining ones are left.\n"
    "Each written file's path is printed on stdout; messages go to stderr.\n"
    "Exit status: 0 all converted, 1 some file failed, 2 usage error, 130 cancelled.\n",
    [](const Args& args) { return runConversionCommand(args, true); },
}};

}  // namespace
}  // namespace vekconv

#endif  // VEKCONV_HAVE_VEK_JOBS
