# keb_dsp: object containers, the signal generator and the equalizer.
keb_library(keb_dsp
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/MMObjLstStream.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MMObjLstRegistry.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MMObjLst.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MMFXGen.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MMEQ.cpp
  DEPENDS
    keb_stream keb_fft keb_platform)
