# keb_display_gui: the DIB graphic control and the spectrogram control (Qt).
keb_library(keb_display_gui GUI
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/AccessibleWaterfall.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MMDIBCvControl.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MMSpGram.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MMSpGramInfo.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MMSpGramScale.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MMSpGramText.cpp
  DEPENDS
    keb_display
    keb_controls)
