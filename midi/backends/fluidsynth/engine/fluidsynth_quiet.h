// Keeps the libraries under the built-in synth from printing: FluidSynth logs to stderr, ALSA
// prints every failed open, and FluidSynth's DLS loader (through GLib) complains about every
// SoundFont it cannot read. Our own result codes say what went wrong instead.
#pragma once

#include <atomic>

namespace kalvora {

// Turns FluidSynth's log off, once for the process. Its errors still reach a thread's listener.
void QuietFluidSynthLog();

// From now on an error FluidSynth logs on the calling thread sets *failed (null: none does).
// FluidSynth's audio drivers say no more than that when their server has gone, before their
// thread ends.
void ListenForFluidSynthErrors(std::atomic<bool>* failed);

// While it lives, ALSA messages raised on this thread are dropped.
class QuietAlsa {
 public:
  QuietAlsa();
  ~QuietAlsa();
  QuietAlsa(const QuietAlsa&) = delete;
  QuietAlsa& operator=(const QuietAlsa&) = delete;

 private:
  void (*previous_)() = nullptr;  // ALSA's handler type, kept out of this header
};

// While it lives, GLib criticals and warnings without a log domain are dropped.
class QuietGlib {
 public:
  QuietGlib();
  ~QuietGlib();
  QuietGlib(const QuietGlib&) = delete;
  QuietGlib& operator=(const QuietGlib&) = delete;

 private:
  unsigned handler_ = 0;
};

}  // namespace kalvora
