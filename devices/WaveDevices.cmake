# The two sound-card device components and what they share.
keb_library(keb_wavedevices
  SOURCES
    MMWaveDevice.cpp
    MMWaveDeviceBuffers.cpp
    MMWaveDeviceHooks.cpp
    MMWaveDeviceWorker.cpp
    MMWavIn.cpp
    MMWavOut.cpp
  DEPENDS
    keb_stream
    keb_audio
    keb_platform)
