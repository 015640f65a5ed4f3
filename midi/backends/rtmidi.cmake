add_library(kalvora_midi_rtmidi STATIC
  rtmidi_backend.cpp
  rtmidi_port_names.cpp
  stderr_muted.cpp
)
target_link_libraries(kalvora_midi_rtmidi PUBLIC kalvora_midi PRIVATE PkgConfig::RTMIDI)
