/* vekwf: the WAV file reader and writer of the conversion jobs.
 * SPDX-License-Identifier: GPL-3.0-or-later
 *
 * Writing: a standard RIFF WAVE PCM file, 8- or 16-bit, whose length fields
 * are completed when the file is closed.
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
 * or when the delivered data would exceed 2^31 - 1 bytes. The data length
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

/* Creates (or truncates) path and writes a PCM header; bits 8 or 16,
 * channels 1 or 2, rate above 0. Returns 0 when the file cannot be created
 * or the arguments are not supported. */
VekWaveHandle WriteWaveHeader(const char *path, int32_t bits, int32_t channels, int32_t rate);
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

#ifdef __cplusplus
}
#endif

#endif /* VEKWF_H */
