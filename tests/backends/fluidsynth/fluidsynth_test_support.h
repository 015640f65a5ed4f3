// Helpers for the built-in synth's tests: the installed SoundFonts, offline rendering and
// simple measures of level and spectrum.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "midi/backends/fluidsynth/engine/fluidsynth_core.h"
#include "midi/backends/fluidsynth/fluidsynth_fonts.h"
#include "midi/backends/fluidsynth/synth_audio_outputs.h"
#include "support/eventually.h"
#include "support/press_messages.h"
#include "support/temp_folder.h"

namespace kalvora::test {

// The system's FluidR3 fonts, or nothing when they are not installed.
std::optional<SoundFontSet> InstalledFluidFonts();
// A synth with those fonts loaded; null when they are missing.
std::unique_ptr<SynthCore> LoadedSynth();
// Plays into /dev/null in real time: a working audio output on a machine without a sound card.
std::vector<SynthAudioOutput> NullAudio();
// A file in the folder whose header says SoundFont and whose body is nonsense.
std::filesystem::path WriteFakeFont(const TempFolder& folder, const std::string& name);
// A file in the folder that holds plain text, whatever its name says.
std::filesystem::path WriteTextFile(const TempFolder& folder, const std::string& name);

void Send(SynthCore& synth, std::vector<std::uint8_t> bytes);
void SendGsReset(SynthCore& synth);

struct Sound {
  std::vector<float> left;
  std::vector<float> right;
  std::size_t size() const { return left.size(); }
};

std::size_t Frames(double milliseconds);
double Milliseconds(std::size_t frames);
Sound Render(SynthCore& synth, double milliseconds);

// Loudest sample of either channel in [begin, end), in dBFS.
double PeakDb(const Sound& sound, std::size_t begin = 0, std::size_t end = SIZE_MAX);
// Mean power of one channel, in dB.
double PowerDb(const std::vector<float>& channel);
// First frame whose sample in either channel reaches the level; size() when none does.
std::size_t FirstFrameAbove(const Sound& sound, double db);
// How far apart two sounds' spectra are: the mean difference, in dB, of their magnitude spectra
// (left+right, each relative to its own peak, floored at -60 dB). The same tone played twice
// stays under 1.6 dB; a square lead and a sine wave are 5 dB apart, piano and violin 9 dB.
double SpectralDistanceDb(const Sound& a, const Sound& b);

}  // namespace kalvora::test
