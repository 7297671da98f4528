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
# The spectral loops of the noise reducer run on vectors; GCC's default cost
# model at -O2 leaves loops of unknown length scalar.
set_source_files_properties(
  ${CMAKE_CURRENT_LIST_DIR}/MinimumPhaseFilter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SuppressionGain.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NoiseFloorTracker.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NoiseReductionKernel.cpp
  PROPERTIES COMPILE_OPTIONS "$<$<CXX_COMPILER_ID:GNU>:-fvect-cost-model=dynamic>")
