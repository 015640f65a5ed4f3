kalvora_add_bench(fluidsynth_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/fluidsynth_bench.cpp
  LIBS kalvora_midi_fluidsynth kalvora_synth_core)

# Opens the synth and plays one note, for measuring the peak memory with /usr/bin/time -v.
add_executable(fluidsynth_play_note ${CMAKE_CURRENT_LIST_DIR}/fluidsynth_play_note.cpp)
target_link_libraries(fluidsynth_play_note PRIVATE kalvora_midi_fluidsynth)
set_target_properties(fluidsynth_play_note PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
