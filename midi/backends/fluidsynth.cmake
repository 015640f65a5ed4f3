# The built-in software synth (FluidSynth) as an output device.
add_library(kalvora_midi_fluidsynth STATIC
  ${CMAKE_CURRENT_LIST_DIR}/fluidsynth_backend.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fluidsynth_core.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fluidsynth_routing.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fluidsynth_audio.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fluidsynth_fonts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fluidsynth_quiet.cpp
)
target_link_libraries(kalvora_midi_fluidsynth PUBLIC kalvora_midi PkgConfig::FLUIDSYNTH)

# ALSA and GLib (both come with FluidSynth's development package) print failures to stderr;
# with their headers the synth silences them while it opens.
pkg_check_modules(KALVORA_FLUIDSYNTH_ALSA IMPORTED_TARGET alsa)
if(KALVORA_FLUIDSYNTH_ALSA_FOUND)
  target_link_libraries(kalvora_midi_fluidsynth PRIVATE PkgConfig::KALVORA_FLUIDSYNTH_ALSA)
  target_compile_definitions(kalvora_midi_fluidsynth PRIVATE KALVORA_HAVE_ALSA=1)
endif()
pkg_check_modules(KALVORA_FLUIDSYNTH_GLIB IMPORTED_TARGET glib-2.0)
if(KALVORA_FLUIDSYNTH_GLIB_FOUND)
  target_link_libraries(kalvora_midi_fluidsynth PRIVATE PkgConfig::KALVORA_FLUIDSYNTH_GLIB)
  target_compile_definitions(kalvora_midi_fluidsynth PRIVATE KALVORA_HAVE_GLIB=1)
endif()
