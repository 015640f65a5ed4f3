# The built-in software synth (FluidSynth) as an output device, in two parts: the device itself,
# linked into the program, needs no FluidSynth; the engine that plays is a module loaded at the
# synth's first open, so a start without the synth never loads FluidSynth and what it pulls in.
include(GNUInstallDirs)

# FluidSynth behind our own synth core: the engine, tests and benchmarks use it.
add_library(kalvora_synth_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/fluidsynth_core.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fluidsynth_routing.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fluidsynth_audio.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fluidsynth_quiet.cpp
)
set_target_properties(kalvora_synth_core PROPERTIES POSITION_INDEPENDENT_CODE ON)
target_include_directories(kalvora_synth_core PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(kalvora_synth_core PUBLIC PkgConfig::FLUIDSYNTH)

# ALSA and GLib (both come with FluidSynth's development package) print failures to stderr;
# with their headers the synth silences them while it opens.
pkg_check_modules(KALVORA_FLUIDSYNTH_ALSA IMPORTED_TARGET alsa)
if(KALVORA_FLUIDSYNTH_ALSA_FOUND)
  target_link_libraries(kalvora_synth_core PRIVATE PkgConfig::KALVORA_FLUIDSYNTH_ALSA)
  target_compile_definitions(kalvora_synth_core PRIVATE KALVORA_HAVE_ALSA=1)
endif()
pkg_check_modules(KALVORA_FLUIDSYNTH_GLIB IMPORTED_TARGET glib-2.0)
if(KALVORA_FLUIDSYNTH_GLIB_FOUND)
  target_link_libraries(kalvora_synth_core PRIVATE PkgConfig::KALVORA_FLUIDSYNTH_GLIB)
  target_compile_definitions(kalvora_synth_core PRIVATE KALVORA_HAVE_GLIB=1)
endif()

# The module. It carries its own copy of the connection interface's one out-of-line function.
add_library(kalvora_synth_engine MODULE
  ${CMAKE_CURRENT_LIST_DIR}/fluidsynth_engine.cpp
  ${PROJECT_SOURCE_DIR}/midi/midi_backend.cpp
)
set_target_properties(kalvora_synth_engine PROPERTIES PREFIX "" CXX_VISIBILITY_PRESET hidden
                      VISIBILITY_INLINES_HIDDEN ON)
target_link_libraries(kalvora_synth_engine PRIVATE kalvora_synth_core)
target_link_options(kalvora_synth_engine PRIVATE -Wl,--no-undefined)
install(TARGETS kalvora_synth_engine LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/kalvora)

# The device, with the search for the fonts and the module.
add_library(kalvora_midi_fluidsynth STATIC
  ${CMAKE_CURRENT_LIST_DIR}/fluidsynth_backend.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fluidsynth_fonts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/synth_audio_outputs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/synth_engine_loader.cpp
)
target_link_libraries(kalvora_midi_fluidsynth PUBLIC kalvora_midi PRIVATE ${CMAKE_DL_LIBS})
add_dependencies(kalvora_midi_fluidsynth kalvora_synth_engine)
file(RELATIVE_PATH KALVORA_SYNTH_ENGINE_FROM_PROGRAM ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_LIBDIR}/kalvora/kalvora_synth_engine.so)
set_property(SOURCE ${CMAKE_CURRENT_LIST_DIR}/synth_engine_loader.cpp APPEND PROPERTY
  COMPILE_DEFINITIONS
  KALVORA_SYNTH_ENGINE_FROM_PROGRAM="${KALVORA_SYNTH_ENGINE_FROM_PROGRAM}"
  KALVORA_SYNTH_ENGINE_BUILT="$<TARGET_FILE:kalvora_synth_engine>")
