// Preparing the outgoing SC4 file or self-playing executable.
// SPDX-License-Identifier: GPL-3.0-or-later
#include "vek/recpexe/outgoing.hpp"

#include <algorithm>
#include <cctype>

#include "scope.hpp"
#include "vek/recpexe/mp3.hpp"

namespace vek::recpexe {

bool hasExtension(const fs::path& p, const std::string& ext) {
    std::string e = p.extension().string();
    std::transform(e.begin(), e.end(), e.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return e == ext;
}

namespace {

// Save when there are changes: CanMakeFile on the current file first.
bool saveIfModified(RecorderFiles& st, OutgoingHost& host) {
    if (!st.modified) return true;
    if (!canMakeFile(st.currentFile, host)) return false;
    if (!host.save()) return false;
    st.modified = false;
    // Every save into an SC4 file made with changes pending re-arms the
    // check of the outgoing executable.
    st.targetCheck = true;
    st.mp3TargetCheck = true;
    return true;
}

bool mp3Made(Mp3Result r, MessageSink& msg) {
    switch (r) {
    case Mp3Result::Written: return true;
    case Mp3Result::Empty: msg.show(kMsgMp3Empty, kCaption, Icon::Information); break;
    case Mp3Result::Unavailable: msg.show(kMsgMp3Unavailable, kCaption, Icon::Warning); break;
    case Mp3Result::Failed: msg.show(kMsgMp3Failed, kCaption, Icon::Warning); break;
    }
    return false;
}

std::optional<fs::path> prepareMp3(RecorderFiles& st, OutgoingHost& host) {
    if (!st.currentFile.empty()) {
        if (!saveIfModified(st, host)) return std::nullopt;
        fs::path mp3 = st.dataDir / st.currentFile.filename();
        mp3.replace_extension(".mp3");
        if (st.mp3TargetCheck && !canMakeFile(mp3, host)) return std::nullopt;
        if (!mp3Made(makeMp3(st.currentFile, mp3, st.mode, st.fx, st.dataDir), host)) return std::nullopt;
        st.mp3TargetCheck = false;
        return mp3;
    }
    const fs::path sc4 = firstFreeName(st.dataDir, "temp", ".tmp");
    ScopeExit removeSc4([&] {
        std::error_code ec;
        fs::remove(sc4, ec);
    });
    if (!host.writeWorkingAsSc4(sc4)) return std::nullopt;
    const fs::path mp3 = findMP3(st.dataDir);
    if (!mp3Made(makeMp3(sc4, mp3, st.mode, st.fx, st.dataDir), host)) return std::nullopt;
    return mp3;
}

}  // namespace

std::optional<fs::path> prepareOutgoing(OutgoingKind kind, RecorderFiles& st, OutgoingHost& host) {
    if (hasExtension(st.currentFile, ".exe")) {
        host.show(kMsgSaveAsSc4First, kCaption, Icon::Information);
        return std::nullopt;
    }
    if (kind == OutgoingKind::Mp3) return prepareMp3(st, host);
    const bool saved = !st.currentFile.empty();
    if (kind == OutgoingKind::Sc4) {
        if (saved) {
            if (!saveIfModified(st, host)) return std::nullopt;
            return st.currentFile;
        }
        const fs::path cvf = findCVF(st.dataDir);
        if (!host.writeWorkingAsSc4(cvf)) return std::nullopt;
        return cvf;
    }

    const fs::path stub = stubPath(st.programDir, st.mode);
    std::error_code ec;
    if (!fs::is_regular_file(stub, ec)) {
        msgNotPExe(host);
        return std::nullopt;
    }
    if (saved) {
        if (!saveIfModified(st, host)) return std::nullopt;
        fs::path exe = st.dataDir / st.currentFile.filename();
        exe.replace_extension(".exe");
        if (st.targetCheck && !canMakeFile(exe, host)) return std::nullopt;
        if (!makePExe(stub, st.currentFile, exe, st.mode, st.fx, st.dataDir)) return std::nullopt;
        st.targetCheck = false;
        return exe;
    }
    const fs::path cvf = findCVF(st.dataDir);
    if (!host.writeWorkingAsSc4(cvf)) return std::nullopt;
    const fs::path exe = findEXE(st.dataDir);
    if (!makePExe(stub, cvf, exe, st.mode, st.fx, st.dataDir)) return std::nullopt;
    return exe;
}

}  // namespace vek::recpexe
