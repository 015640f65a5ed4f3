kalvora_add_gtest(fluidsynth_backend_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/fluidsynth_test_support.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fluidsynth_render_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fluidsynth_backend_test.cpp
  LIBS kalvora_midi_fluidsynth kalvora_synth_core
  LABELS backends)
