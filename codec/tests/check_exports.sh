#!/bin/sh
# Fails unless the library exports exactly the eleven functions of its C
# interface (nothing of the C++ core, no runtime symbols).
set -eu
lib=$1
expected="ADPCMToSC4
AudioDecoding_A
AudioEncoding_A
FreeAudioDecoder_A
FreeAudioEncoder_A
InitializeAudioDecoder_A
InitializeAudioEncoder_A
SC4ToADPCM
SetAudioEncoderQuality_A
SetAudioEncoderRate_A
SetAudioEncoderVAD_A"
actual=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TDBRVW]$/ {print $3}' | sort)
if [ "$actual" != "$expected" ]; then
  echo "exported symbols differ:"; echo "$actual"
  exit 1
fi
echo "11 exports, as expected"
