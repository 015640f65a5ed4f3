// Opens the built-in synth, sends the GS Reset, plays middle C for a second and closes: a
// stand-in for the program with the synth open when measuring peak memory.
//   fluidsynth_play_note [--null-audio]
// --null-audio plays into /dev/null, for machines without a sound device.
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <thread>

#include "midi/backends/fluidsynth/fluidsynth_backend.h"

int main(int argc, char** argv) {
  kalvora::FluidSynthOptions options;
  if (argc > 1 && std::string_view(argv[1]) == "--null-audio") {
    options.audioOutputs = {
        {"file", {{"audio.file.name", "/dev/null"}, {"audio.file.type", "raw"}}}};
  }
  kalvora::FluidSynthBackend backend(options);
  if (backend.portNames().empty()) {
    std::puts("no SoundFont installed");
    return 1;
  }
  kalvora::OpenResult opened = backend.open(0);
  std::printf("open: %u\n", opened.code);
  if (opened.code != MMSYSERR_NOERROR) return 1;

  const std::array<std::uint8_t, 11> gsReset{0xF0, 0x41, 0x10, 0x42, 0x12, 0x40,
                                             0x00, 0x7F, 0x00, 0x41, 0xF7};
  opened.connection->sendLong(gsReset);
  const std::array<std::array<std::uint8_t, 3>, 8> press{{{0xB0, 0x0A, 64},
                                                          {0xB0, 0x01, 0},
                                                          {0xB0, 0x5B, 40},
                                                          {0xB0, 0x5D, 0},
                                                          {0xB0, 0x00, 0},
                                                          {0xB0, 0x20, 4},
                                                          {0xC0, 0, 0},
                                                          {0x90, 60, 100}}};
  for (const auto& message : press) opened.connection->sendShort(message);
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const std::array<std::uint8_t, 3> release{0x80, 60, 0x7F};
  opened.connection->sendShort(release);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  return 0;
}
