# keb_hitimer: the periodic platform timer and the high-resolution timer
# component on it.
keb_library(keb_hitimer
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/MMHTimer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MMHTimerPeriodic.cpp
  DEPENDS
    keb_wavedevices
    keb_stream)
