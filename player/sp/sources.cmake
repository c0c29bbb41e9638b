# The SP decoder's sources, relative to this folder: one list for the host
# library, its fuzz target and the SP player stub.
set(VEK_SP_DIR ${CMAKE_CURRENT_LIST_DIR})
set(VEK_SP_SOURCES
  src/tables.cpp
  src/bitstream.cpp
  src/lsp_decoder.cpp
  src/lsp_to_lpc.cpp
  src/adaptive_codebook.cpp
  src/fixed_codebook.cpp
  src/gain_decoder.cpp
  src/synthesis_filter.cpp
  src/postfilter.cpp
  src/post_processing.cpp
  src/decoder.cpp)
