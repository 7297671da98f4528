# The notch filter and the noise reducer join keb_dsp.
target_sources(keb_dsp PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/SampleProcessor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NotchBank.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SteadyToneDetector.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NotchKernel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NotchFilter.cpp)
target_sources(keb_dsp PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/NoiseFloorTracker.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SuppressionGain.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MinimumPhaseFilter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NoiseReductionKernel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NoiseReducer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CleanupSettings.cpp)
