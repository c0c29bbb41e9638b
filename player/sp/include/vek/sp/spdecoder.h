// The player's process-wide SP decoder: InitializeSpDecoder, DecodeSpSector.
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef VEK_SP_SPDECODER_H
#define VEK_SP_SPDECODER_H

#include "vek/sp/decoder.hpp"

#endif  // VEK_SP_SPDECODER_H
