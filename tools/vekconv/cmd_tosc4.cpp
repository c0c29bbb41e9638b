// vekconv to-sc4: the manager's WAV-to-SC4 job run from a terminal (the
// terminal host lives in cmd_towav.cpp).
// SPDX-License-Identifier: GPL-3.0-or-later
#if defined(VEKCONV_HAVE_VEK_JOBS)

#include "cli.hpp"

namespace vekconv {

int runConversionCommand(const Args& args, bool toWav);

namespace {

const Register toSc4Command{{
    "to-sc4",
    "to-sc4 --mode sp|hq|shq [--yes|--no] FILE.wav...    convert WAV (or FLAC, Ogg, MP3, ...) files to SC4 voice files",
    "Usage: vekconv to-sc4 --mode sp|hq|shq [--yes|--no] FILE.wav...\n\n"
    "Converts each WAV file to an SC4 voice file in the same folder under the same\n"
    "stem, in the recording mode given:\n"
    "  sp    16:1, 8000 Hz (SP codec)\n"
    "  hq    4:1 ADPCM, 8000 Hz\n"
    "  shq   4:1 ADPCM, 11025 Hz\n"
    "Accepted input: PCM WAV with one or two channels, 8 to 32 bits or float, any\n"
    "rate. 16-bit mono files at the codec's rate are streamed as they are; others\n"
    "are mixed to mono and resampled by linear interpolation.\n"
    "Also accepted: the other sound files libsndfile reads, by extension: .flac,\n"
    ".ogg/.oga (Vorbis or Opus), .opus, .mp3, .aif/.aiff/.aifc, .au/.snd, .caf,\n"
    ".w64, .rf64 (one or two channels). They are decoded to 16-bit PCM and then\n"
    "converted like a WAV file of that layout (talk.flac -> talk.sc4).\n\n"
    "  --yes, -y   replace existing SC4 files without asking\n"
    "  --no, -n    keep existing SC4 files (skip those sources; not a failure)\n\n"
    "Without either, the question is asked on the terminal; when stdin is not a\n"
    "terminal an existing file is kept and the run fails. Ctrl+C cancels: the file in\n"
    "progress is finished shorter but valid, and the remaining ones are left.\n"
    "Each written file's path is printed on stdout; messages go to stderr.\n"
    "Exit status: 0 all converted, 1 some file failed, 2 usage error, 130 cancelled.\n",
    [](const Args& args) { return runConversionCommand(args, false); },
}};

}  // namespace
}  // namespace vekconv

#endif  // VEKCONV_HAVE_VEK_JOBS
