/* vekcdc4: the SP-mode (G.729 Annex A) codec library the conversion jobs call.
 * SPDX-License-Identifier: GPL-3.0-or-later
 *
 * One process-wide encoder and one decoder. Each call returns nonzero on
 * success and never lets an exception out.
 *   InitializeAudioEncoder / InitializeAudioDecoder: reset the state for a new
 *     file (called once per file, before the first block).
 *   AudioEncoding: 8000 bytes of 16-bit mono PCM at 8000 Hz (4000 samples)
 *     -> one 512-byte SP sector ("dmr1data", 0xF4 0x01, 50 frames of 10 bytes,
 *     two trailing bytes); *outputCount = 512.
 *   AudioDecoding: one 512-byte SP sector -> 8000 bytes of PCM; a sector that
 *     fails the tag test gives count 0 and result 0.
 */
#ifndef VEKCDC4_H
#define VEKCDC4_H

#include <stdint.h>

#include "vekcdc5.h" /* AudioCodecBlock */

#if defined(_WIN32)
#  if defined(VEKCDC4_BUILDING)
#    define VEKCDC4_API __declspec(dllexport)
#  else
#    define VEKCDC4_API __declspec(dllimport)
#  endif
#else
#  define VEKCDC4_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

VEKCDC4_API int32_t InitializeAudioEncoder(void);
VEKCDC4_API int32_t AudioEncoding(AudioCodecBlock *block);
VEKCDC4_API int32_t InitializeAudioDecoder(void);
VEKCDC4_API int32_t AudioDecoding(AudioCodecBlock *block);

#ifdef __cplusplus
}
#endif

#endif /* VEKCDC4_H */
