/* vekcdc5: the SC4 voice container and the ADPCM speech codec.
 * SPDX-License-Identifier: GPL-3.0-or-later
 *
 * Plain C functions under undecorated names. Every one returns 1 for success
 * and 0 for failure and never lets an exception out. The ADPCM calls share one
 * process-wide codec state: reset it once per file, before the first block,
 * and do not interleave two files between resets.
 */
#ifndef VEKCDC5_H
#define VEKCDC5_H

#include <stdint.h>

#if defined(_WIN32)
#  if defined(VEKCDC5_BUILDING)
#    define VEKCDC5_API __declspec(dllexport)
#  else
#    define VEKCDC5_API __declspec(dllimport)
#  endif
#else
#  define VEKCDC5_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The parameter record of every encoding and decoding call, of this library
 * and of the SP codec alike. On 32-bit Windows these are five 32-bit fields;
 * on 64-bit builds the pointers have their natural width. */
typedef struct AudioCodecBlock {
    const void *input;     /* input bytes */
    uint32_t inputLength;  /* number of input bytes */
    uint32_t spare;        /* never read or written by the codecs */
    void *output;          /* output buffer, large enough for the result */
    int32_t *outputCount;  /* set to the number of output bytes */
} AudioCodecBlock;

/* Container <-> plain stream of 29-byte ADPCM frames. Paths are 8-bit,
 * zero-terminated. shq: 0 writes HQ group headers, any other value SHQ. */
VEKCDC5_API int32_t SC4ToADPCM(const char *sc4Path, const char *adpcmPath);
VEKCDC5_API int32_t ADPCMToSC4(const char *adpcmPath, const char *sc4Path, int32_t shq);

/* Reset the shared codec state (the two names are one operation). Any
 * arguments a caller passes are ignored. */
VEKCDC5_API int32_t InitializeAudioEncoder_A(void);
VEKCDC5_API int32_t InitializeAudioDecoder_A(void);

/* 116 bytes of 16-bit PCM -> one 29-byte frame, for every whole frame of the
 * input; 29 bytes of frame -> 116 bytes of PCM likewise. The count is set to
 * the bytes written. A null block or null pointer inside it returns 0. */
VEKCDC5_API int32_t AudioEncoding_A(AudioCodecBlock *block);
VEKCDC5_API int32_t AudioDecoding_A(AudioCodecBlock *block);

/* Kept for callers of the original interface: they do nothing and return 1. */
VEKCDC5_API int32_t FreeAudioEncoder_A(void);
VEKCDC5_API int32_t FreeAudioDecoder_A(void);
VEKCDC5_API int32_t SetAudioEncoderQuality_A(int32_t value);
VEKCDC5_API int32_t SetAudioEncoderRate_A(int32_t value);
VEKCDC5_API int32_t SetAudioEncoderVAD_A(int32_t value);

#ifdef __cplusplus
}
#endif

#endif /* VEKCDC5_H */
