# keb_fft: the transforms, the window functions and the FFT filter engine.
# The engine reads the wave format record of platform/audio/WaveFormatRecord.h (header only).
set(KEB_FFT_SOURCES
    ${CMAKE_CURRENT_SOURCE_DIR}/MMFFT.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/MMFFTKernelChoice.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/MMFFTScalar.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/MMFFTTables.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/MMFFTVector128.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/MMFFTWindow.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/MMFFTFlt.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/MMFFTFltDesign.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/MMFFTFltFrame.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/LowLatencyFilter.cpp)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64|i[3-6]86")
  # Only this file is built for AVX and FMA; the dispatch asks the processor first.
  list(APPEND KEB_FFT_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/MMFFTVector256.cpp)
  set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/MMFFTVector256.cpp
                              PROPERTIES COMPILE_OPTIONS "-mavx;-mfma;-ffp-contract=fast")
endif()
keb_library(keb_fft SOURCES ${KEB_FFT_SOURCES})
