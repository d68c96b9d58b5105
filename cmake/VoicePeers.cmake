# The peers the voice front end is measured beside: speexdsp (Debian libspeexdsp-dev) and WebRTC's audio processing
# (Debian libwebrtc-audio-processing-dev). Only the voice quality tests and the benchmarks link them, each where it
# is installed; the target gets the rig's sources and a definition per peer found.
function(kve_voice_rig target)
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests/VoiceQuality/VoiceRig.cpp
                                   ${PROJECT_SOURCE_DIR}/tests/VoiceQuality/VoicePeers.cpp)
  target_link_libraries(${target} PRIVATE kve_test_support kve_kissfft)
  find_library(KVE_SPEEXDSP_LIB speexdsp)
  find_path(KVE_SPEEXDSP_INCLUDE_DIR speex/speex_echo.h)
  if(KVE_SPEEXDSP_LIB AND KVE_SPEEXDSP_INCLUDE_DIR)
    target_include_directories(${target} SYSTEM PRIVATE ${KVE_SPEEXDSP_INCLUDE_DIR})
    target_link_libraries(${target} PRIVATE ${KVE_SPEEXDSP_LIB})
    target_compile_definitions(${target} PRIVATE KVE_VOICE_SPEEXDSP=1)
  endif()
  find_library(KVE_WEBRTC_APM_LIB webrtc_audio_processing)
  find_path(KVE_WEBRTC_APM_INCLUDE_DIR webrtc/modules/audio_processing/include/audio_processing.h
            PATH_SUFFIXES webrtc_audio_processing)
  if(KVE_WEBRTC_APM_LIB AND KVE_WEBRTC_APM_INCLUDE_DIR)
    target_include_directories(${target} SYSTEM PRIVATE ${KVE_WEBRTC_APM_INCLUDE_DIR})
    target_link_libraries(${target} PRIVATE ${KVE_WEBRTC_APM_LIB})
    target_compile_definitions(${target} PRIVATE KVE_VOICE_WEBRTC=1 WEBRTC_POSIX WEBRTC_AUDIO_PROCESSING_ONLY_BUILD)
  endif()
endfunction()
