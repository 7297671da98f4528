# keb_display: the DIB canvas with its pixel routines and the waterfall's
# analysis and picture; no Qt, so the off-line tool can draw waterfalls.
keb_library(keb_display
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/MMDIBCv.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MMDIBCvPixels.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MMSpGramAnalysis.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MMSpGramMap.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MMSpGramPalette.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MMSpGramWaterfall.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WaterfallTones.cpp
  DEPENDS
    keb_fft
    keb_stream
    keb_platform)
