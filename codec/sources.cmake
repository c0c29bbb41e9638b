# The codec's sources, relative to this folder: one list for every build that
# compiles them (the host library, vekcdc5.dll, the HQ/SHQ player stub).
set(VEK_CODEC_DIR ${CMAKE_CURRENT_LIST_DIR})
# The ADPCM coder alone (the player stub needs no container code).
set(VEK_CODEC_ADPCM_SOURCES src/adpcm.cpp)
set(VEK_CODEC_SOURCES ${VEK_CODEC_ADPCM_SOURCES} src/bytestream.cpp src/sc4.cpp)
# The C interface of vekcdc5 over them.
set(VEK_CODEC_EXPORT_SOURCES src/exports.cpp)
