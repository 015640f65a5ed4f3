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
#include "midi/midi_bytes.h"
#include "support/press_messages.h"

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
  std::printf("open: %d\n", static_cast<int>(opened.status));
  if (opened.status != kalvora::OpenStatus::kOpened) return 1;

  opened.connection->sendLong(GsResetMessage);
  const kalvora::test::Voice middleC;
  kalvora::test::SendPress(*opened.connection, middleC);
  std::this_thread::sleep_for(std::chrono::seconds(1));
  kalvora::test::SendRelease(*opened.connection, middleC);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  return 0;
}
