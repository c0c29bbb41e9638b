#!/bin/sh
# Fails unless the library exports exactly the eleven functions of its C
# interface under undecorated names (nothing of the C++ core, no runtime
# symbols).
#   check_exports.sh LIB.so
#   check_exports.sh --pe OBJDUMP LIB.dll
set -eu
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
if [ "$1" = --pe ]; then
  actual=$("$2" -p "$3" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort)
else
  actual=$(nm -D --defined-only "$1" | awk '$2 ~ /^[TDBRVW]$/ {print $3}' | sort)
fi
if [ "$actual" != "$expected" ]; then
  echo "exported symbols differ:"; echo "$actual"
  exit 1
fi
echo "11 exports, as expected"
