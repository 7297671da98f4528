# keb_connector: the stream connector that feeds the displays, and the format
# conversion it uses for non-PCM streams.
keb_library(keb_connector
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/BufferHandover.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MMConect.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MMConectClass.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MMConectConvert.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MMConectPass.cpp
  DEPENDS
    keb_hitimer
    keb_stream)
