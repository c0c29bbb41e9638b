/* vekwf: the WAV file reader and writer of the conversion jobs.
 * SPDX-License-Identifier: GPL-3.0-or-later
 *
 * Writing: a standard RIFF WAVE PCM file, 8- or 16-bit, whose length fields
 * are completed when the file is closed. Its 32-bit fields hold at most
 * kVekWaveMaxData bytes of samples: a write beyond that fails (and the close
 * then reports failure) instead of wrapping the lengths. Output that may
 * grow beyond 4 GiB goes through WriteWaveHeader64, which writes RF64 (the
 * 64-bit form of WAVE, with a ds64 chunk) when the data needs it and a
 * WAVE file otherwise.
 *
 * Reading: the sample data of a RIFF WAVE file with one or two channels is
 * delivered as PCM with format tag 1:
 *   - 8-bit files as unsigned 8-bit bytes (bits = 8);
 *   - 16-bit files as little-endian 16-bit samples (bits = 16);
 *   - 24- and 32-bit integer and 32/64-bit float files, plain or
 *     WAVE_FORMAT_EXTENSIBLE, converted to little-endian 16-bit samples
 *     (bits = 16, data length counted in those 16-bit samples).
 * Compressed encodings and files with more than two channels open with a
 * format tag other than 1 (the file's own tag, or 0xFFFE for a multichannel
 * or unrecognised extensible file), so the caller can name them unsupported.
 * The header is refused (handle 0) when the file is no WAVE file, when its
 * sample rate is 0 or above 2^31 - 1, when its data chunk claims more bytes than the file holds,
 * or when the delivered data would exceed 2^31 - 1 bytes. A data size of 0 or
 * 0xFFFFFFFF is the placeholder that streaming writers and interrupted
 * recordings leave behind, not a claim: the data then runs from the chunk's
 * start to the end of the file. The data length
 * reported therefore never exceeds what the file really holds (twice that for
 * the float-to-16-bit case at most), so a caller can size a buffer by it.
 *
 * Handles are opaque nonzero values; 0 means failure. Every function accepts
 * a 0 handle and does nothing with it.
 */
#ifndef VEKWF_H
#define VEKWF_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef intptr_t VekWaveHandle;

/* The most sample bytes a WAVE file's 32-bit RIFF length can account for
 * behind the 44-byte header (0xFFFFFFFF - 36, rounded down to whole 16-bit
 * stereo frames). */
#define kVekWaveMaxData 4294967256u

/* Creates (or truncates) path and writes a PCM header; bits 8 or 16,
 * channels 1 or 2, rate above 0. Returns 0 when the file cannot be created
 * or the arguments are not supported. */
VekWaveHandle WriteWaveHeader(const char *path, int32_t bits, int32_t channels, int32_t rate);
/* The same for output of any length: an RF64 file when the data exceeds
 * what WAVE can hold, otherwise a WAVE file (WAVE_FORMAT_EXTENSIBLE with a
 * JUNK chunk where the ds64 chunk would go). */
VekWaveHandle WriteWaveHeader64(const char *path, int32_t bits, int32_t channels, int32_t rate);
/* Appends sample bytes (little-endian for 16-bit). Returns the number of
 * bytes written. */
int32_t WriteWaveFile(VekWaveHandle h, const void *data, int32_t bytes);
/* Completes the length fields and closes. Returns 1 when everything written
 * reached the file, 0 otherwise. */
int32_t CloseWriteWaveFile(VekWaveHandle h);

/* Opens path and positions it at the start of the sample data. Out-params:
 * bits per sample, channels, sample rate, data bytes, format tag. Any of
 * them may be null. */
VekWaveHandle ReadWaveHeader(const char *path, int16_t *bits, int16_t *channels, int32_t *rate,
                             int32_t *dataBytes, int16_t *formatTag);
/* Reads up to `bytes` bytes of the following sample data into buf. Bytes
 * beyond the end of the data are set to zero. Returns the number of data
 * bytes delivered. */
int32_t ReadWaveFile(VekWaveHandle h, void *buf, int32_t bytes);
void CloseReadWaveFile(VekWaveHandle h);

/* ---- other sound files, through the same handles ----
 *
 * Output kinds of WriteAudioHeader. */
#define kVekAudioWav 0
#define kVekAudioFlac 1 /* FLAC, 16-bit, lossless */
#define kVekAudioOgg 2  /* Ogg Vorbis */
#define kVekAudioOpus 3 /* Ogg Opus */
#define kVekAudioMp3 4  /* MPEG-1/2/2.5 layer III */

/* 1 when the libsndfile in use can write that kind at that rate (mono,
 * 16-bit input), 0 otherwise: a library built without an encoder lacks it. */
int32_t AudioFormatAvailable(int32_t kind, int32_t rate);
/* The rate a file of that kind is written at for input at `rate`: Opus codes
 * only 8, 12, 16, 24 and 48 kHz, so other rates are resampled to the next
 * one up (11025 Hz to 12000 Hz) by linear interpolation as the samples come;
 * every other kind keeps the rate. */
int32_t AudioFormatRate(int32_t kind, int32_t rate);
/* Like WriteWaveHeader (bits 16 only, up to 8 channels, for the other kinds)
 * for a file of the given kind; kVekAudioWav is WriteWaveHeader itself. The 32-bit limit
 * of WAVE does not apply to the other kinds. */
VekWaveHandle WriteAudioHeader(const char* path, int32_t bits, int32_t channels, int32_t rate, int32_t kind);

/* Like ReadWaveHeader, for any file libsndfile reads. A file that begins as
 * a RIFF/RIFX WAVE file is read by ReadWaveHeader, unchanged in every
 * respect. Any other (FLAC, Ogg Vorbis, Opus, MP3, AIFF, AU, CAF, ...) is
 * delivered as little-endian 16-bit samples (bits 16, format tag 1) when it
 * has one or two channels, and with format tag 0xFFFE otherwise. Refused
 * (0) when libsndfile cannot open it, its rate is 0, or its length is
 * unknown or beyond 2^31 - 1 delivered bytes. The length is the one the file
 * states: a truncated file delivers fewer bytes than it. */
VekWaveHandle ReadAudioHeader(const char* path, int16_t* bits, int16_t* channels, int32_t* rate, int32_t* dataBytes,
                              int16_t* formatTag);

#ifdef __cplusplus
}
#endif

#endif /* VEKWF_H */
