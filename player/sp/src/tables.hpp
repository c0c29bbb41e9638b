// Numeric tables of the CS-ACELP decoder (defined in tables.cpp, generated).
// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef VEK_SP_TABLES_HPP
#define VEK_SP_TABLES_HPP

#include <cstdint>

namespace vek::sp {

extern const float kLspCodebook1[128][10];    // first-stage LSF codebook
extern const float kLspCodebook2[32][10];     // second stage (halves 0..4 and 5..9)
extern const float kLspPredictor[2][4][10];   // MA predictor per mode and lag
extern const float kLspPredictorSum[2][10];   // 1 - sum of the predictor per mode
extern const float kInterpolation3[31];       // 1/3-sample interpolation filter
extern const float kGainPredictor[4];         // MA coefficients of the energy predictor
extern const float kGainCodebook1[8][2];      // (pitch gain, code gain factor)
extern const float kGainCodebook2[16][2];
extern const int8_t kGainIndexMap1[8];        // transmitted code -> codebook row
extern const int8_t kGainIndexMap2[16];
extern const float kLsfPredictorReset[10];    // pi*(j+1)/11
extern const float kLspReset[10];             // cosine domain

}  // namespace vek::sp

#endif
