// vekconv info / unpack / pack: the SC4 container commands.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <array>
#include <cstdio>
#include <iostream>

#include "cli.hpp"
#include "vek/codec/bytestream.hpp"
#include "vek/codec/sc4.hpp"

namespace vekconv {
namespace {

int runInfo(const Args& args) {
    if (args.empty()) {
        error("info: no file given (see 'vekconv info --help')");
        return 2;
    }
    int status = 0;
    for (const auto& path : args) {
        if (!isRegularFile(path)) {
            error("'" + path + "': " + notAFileReason(path));
            status = 1;
            continue;
        }
        vek::StdioFile f(path.c_str(), vek::StdioFile::Mode::Read);
        const std::int64_t size = f.size();
        std::array<std::uint8_t, 5> head{};
        const std::size_t n = f.isOpen() ? f.read(head.data(), head.size()) : 0;
        if (!f.isOpen() || size < 0) {
            error("'" + path + "': cannot be read");
            status = 1;
            continue;
        }
        const vek::RecordingMode mode = vek::detectMode(head.data(), n);
        if (mode == vek::RecordingMode::Unknown) {
            error("'" + path + "': invalid sc4 file");
            status = 1;
            continue;
        }
        const auto bytes = static_cast<std::uint64_t>(size);
        std::cout << path << '\t' << vek::modeName(mode) << ' ' << vek::formatDuration(mode, bytes) << '\t'
                  << bytes << " bytes\n";
    }
    return status;
}

// Shared body of unpack and pack: run `convert` from `in` into a temporary
// file beside `out`, which replaces `out` only when everything succeeded.
template <typename Convert>
int convertFile(const std::string& in, const std::string& out, Convert convert, const char* what) {
    if (!isRegularFile(in)) {
        error("'" + in + "': " + notAFileReason(in));
        return 1;
    }
    vek::StdioFile src(in.c_str(), vek::StdioFile::Mode::Read);
    if (!src.isOpen()) {
        error("'" + in + "': cannot be read");
        return 1;
    }
    AtomicOutput target(out);
    if (target.tempPath().empty()) {
        error("cannot create '" + out + "'");
        return 1;
    }
    vek::StdioFile dst(target.tempPath().c_str(), vek::StdioFile::Mode::ReadWriteTruncate);
    if (!dst.isOpen()) {
        error("cannot create '" + out + "'");
        return 1;
    }
    const bool ok = convert(src, dst);
    if (!dst.close() || !ok) {
        error(std::string(what) + " '" + in + "' failed");
        return 1;
    }
    return target.commit() ? 0 : 1;
}

int runUnpack(const Args& args) {
    if (args.size() != 2) {
        error("unpack: expected IN.sc4 OUT.adp (see 'vekconv unpack --help')");
        return 2;
    }
    return convertFile(args[0], args[1], [](vek::ByteSource& in, vek::ByteSink& out) {
        std::array<std::uint8_t, 5> head{};
        const std::size_t n = in.read(head.data(), head.size());
        const auto mode = vek::detectMode(head.data(), n);
        if (mode == vek::RecordingMode::SP) {
            error("SP recordings hold no ADPCM frames");
            return false;
        }
        return vek::sc4ToAdpcm(in, out);
    }, "unpacking");
}

int runPack(const Args& args) {
    std::optional<bool> shq;
    Args files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--mode" && i + 1 < args.size()) {
            const std::string m = args[++i];
            if (m == "hq") shq = false;
            else if (m == "shq") shq = true;
            else {
                error("pack: --mode must be hq or shq");
                return 2;
            }
        } else {
            files.push_back(args[i]);
        }
    }
    if (!shq || files.size() != 2) {
        error("pack: expected --mode hq|shq IN.adp OUT.sc4 (see 'vekconv pack --help')");
        return 2;
    }
    const bool isShq = *shq;
    return convertFile(files[0], files[1], [isShq](vek::ByteSource& in, vek::ByteSink& out) {
        return vek::adpcmToSc4(in, out, isShq);
    }, "packing");
}

const Register info{{"info", "info FILE...                 mode, length and size of SC4 files",
                     "Usage: vekconv info FILE...\n\n"
                     "Prints, for every SC4 voice file, its recording mode (SP, HQ or SHQ), its playing\n"
                     "length as [HH:MM:SS] and its size in bytes, separated by tabs. Exits with 1 when\n"
                     "any file is missing or is no valid SC4 file.\n",
                     runInfo}};
const Register unpack{{"unpack", "unpack IN.sc4 OUT.adp         HQ/SHQ container -> plain ADPCM frames",
                       "Usage: vekconv unpack IN.sc4 OUT.adp\n\n"
                       "Writes the plain stream of 29-byte ADPCM frames held in an HQ or SHQ file,\n"
                       "pad frames of the last sector included. OUT is replaced only on success.\n",
                       runUnpack}};
const Register pack{{"pack", "pack --mode hq|shq IN.adp OUT.sc4  plain ADPCM frames -> SC4 file",
                     "Usage: vekconv pack --mode hq|shq IN.adp OUT.sc4\n\n"
                     "Wraps a plain stream of 29-byte ADPCM frames into an SC4 file of the given mode.\n"
                     "Bytes after the last whole frame are dropped. OUT is replaced only on success.\n",
                     runPack}};

}  // namespace
}  // namespace vekconv
