keb_library(keb_ringbuffer
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/MMRingBf.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MMRingBfSlots.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MMRingBfWorker.cpp
  DEPENDS
    keb_stream)
