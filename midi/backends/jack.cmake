add_library(kalvora_midi_jack STATIC
  jack_backend.cpp
  jack_connection.cpp
  message_ring.cpp
)
target_link_libraries(kalvora_midi_jack PUBLIC kalvora_midi PkgConfig::JACK)
