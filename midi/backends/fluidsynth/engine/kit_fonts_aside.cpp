#include "midi/backends/fluidsynth/engine/kit_fonts_aside.h"

#include <system_error>
#include <utility>

#include "midi/backends/fluidsynth/engine/fluidsynth_quiet.h"
#include "midi/backends/fluidsynth/engine/soundfont_view.h"

namespace kalvora {

namespace {

// The font the calling thread hands over at its next load, taken by the first loader asked.
thread_local fluid_sfont_t* HandingOver = nullptr;

fluid_sfont_t* TakeHandedOver(fluid_sfloader_t* /*loader*/, const char* /*filename*/) {
  return std::exchange(HandingOver, nullptr);
}

constexpr int kKeepPresets = 0;

}  // namespace

void AcceptHandOvers(fluid_synth_t* synth) {
  if (fluid_sfloader_t* loader = new_fluid_sfloader(TakeHandedOver, delete_fluid_sfloader)) {
    fluid_synth_add_sfloader(synth, loader);
  }
}

KitFontsAside::KitFontsAside(std::vector<KitFont> fonts)
    : fonts_(std::move(fonts)), settings_(new_fluid_settings()) {
  if (settings_ == nullptr) return;
  // The fonts' samples load as they do in the playing synth: with the preset that uses them.
  fluid_settings_setint(settings_, "synth.dynamic-sample-loading", 1);
  fluid_settings_setint(settings_, "synth.polyphony", 1);  // it never plays
  try {
    thread_ = std::thread([this] { read(); });
  } catch (const std::system_error&) {
    // Read at the hand-over instead, still outside the playing synth's lock.
  }
}

KitFontsAside::~KitFontsAside() {
  if (thread_.joinable()) thread_.join();
  // Fonts never handed over go with the reader.
  for (fluid_sfont_t* font : read_) fluid_synth_add_sfont(reader_, font);
  if (reader_ != nullptr) delete_fluid_synth(reader_);
  if (settings_ != nullptr) delete_fluid_settings(settings_);
}

void KitFontsAside::read() {
  readDone_ = true;
  reader_ = new_fluid_synth(settings_);
  if (reader_ == nullptr) return;
  UseSoundFontView(reader_, settings_);
  const QuietGlib quiet;
  for (const KitFont& font : fonts_) {
    const HidingPresets hiding(font.keep);
    const int id = fluid_synth_sfload(reader_, font.path.c_str(), kKeepPresets);
    fluid_sfont_t* sfont = id == FLUID_FAILED ? nullptr : fluid_synth_get_sfont_by_id(reader_, id);
    if (sfont == nullptr) continue;
    fluid_synth_remove_sfont(reader_, sfont);
    read_.push_back(sfont);
  }
}

void KitFontsAside::handTo(fluid_synth_t* synth) {
  if (thread_.joinable()) thread_.join();
  if (!readDone_ && settings_ != nullptr) read();
  std::vector<fluid_sfont_t*> kept;
  for (fluid_sfont_t* font : read_) {
    HandingOver = font;
    fluid_synth_sfload(synth, fluid_sfont_get_name(font), kKeepPresets);
    // Not taken (a synth that does not accept hand-overs reads the file itself): the font
    // stays the reader's.
    if (std::exchange(HandingOver, nullptr) != nullptr) kept.push_back(font);
  }
  read_ = std::move(kept);
}

}  // namespace kalvora
