#include "midi/backends/fluidsynth/engine/soundfont_view.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "midi/backends/fluidsynth/engine/soundfont_patch.h"

namespace kalvora {

namespace {

thread_local const PresetFilter* CurrentFilter = nullptr;

constexpr std::size_t kTagBytes = 4;
constexpr std::size_t kChunkHeader = 8;  // tag, size
constexpr std::size_t kRiffHeader = 12;  // "RIFF", size, form
constexpr std::size_t kFormOffset = 8;
constexpr std::size_t kSizeOffset = 4;
// No real SoundFont's preset data comes near this: Debian's largest, FluidR3_GM's and csound's GM
// bank, hold about 200 KB. A file whose chunk claims more is damaged or hostile, and reading
// the claim would cost as much memory and time as it names (gigabytes in a sparse file).
constexpr long long kMaxPresetData = 4LL << 20;

struct ViewFile {
  std::FILE* file = nullptr;
  long long size = 0;
  long long position = 0;      // where the reader is
  long long filePosition = 0;  // where the FILE is, so that reads in a row need no seek
  // The pdta chunk's contents [pdtaBegin, pdtaEnd), read and patched at the first read there.
  long long pdtaBegin = 0, pdtaEnd = 0;
  std::vector<std::uint8_t> pdta;
  bool pdtaLoaded = false;
  PresetFilter keep;  // empty: every preset stays
};

// Sample data is read into fresh memory: the kernel maps its pages in one call rather than at one
// fault a page during the copy, which costs far more in a virtual machine.
void MapInAhead(void* buffer, std::size_t count) {
  constexpr std::size_t kWorthIt = 64 * 1024;
  if (count < kWorthIt) return;
  static const auto kPage = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto begin = reinterpret_cast<std::uintptr_t>(buffer) & ~(kPage - 1);
  const auto end = reinterpret_cast<std::uintptr_t>(buffer) + count;
  // Older kernels lack it, and the read then maps the pages as it goes.
  madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
}

bool ReadAt(ViewFile& view, long long offset, void* buffer, std::size_t count) {
  MapInAhead(buffer, count);
  if (view.filePosition != offset) {
    if (fseeko(view.file, offset, SEEK_SET) != 0) return false;
    view.filePosition = offset;
  }
  const std::size_t got = std::fread(buffer, 1, count, view.file);
  view.filePosition += static_cast<long long>(got);
  return got == count;
}

std::uint32_t Dword(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Finds the pdta chunk among the RIFF file's top-level chunks. It is left unset unless every
// chunk before it, and the pdta chunk itself, lies inside the file and the preset data is of a
// size a SoundFont can have.
void LocatePresetData(ViewFile& view) {
  std::array<std::uint8_t, kRiffHeader> riff{};
  if (!ReadAt(view, 0, riff.data(), riff.size()) ||
      std::memcmp(riff.data(), "RIFF", kTagBytes) != 0 ||
      std::memcmp(riff.data() + kFormOffset, "sfbk", kTagBytes) != 0) {
    return;
  }
  long long offset = kRiffHeader;
  std::array<std::uint8_t, kChunkHeader + kTagBytes> header{};  // with a list's type
  while (offset + static_cast<long long>(header.size()) <= view.size) {
    if (!ReadAt(view, offset, header.data(), header.size())) return;
    const long long size = Dword(header.data() + kSizeOffset);
    const long long end = offset + static_cast<long long>(kChunkHeader) + size;
    if (end > view.size) return;
    if (std::memcmp(header.data(), "LIST", kTagBytes) == 0 &&
        std::memcmp(header.data() + kChunkHeader, "pdta", kTagBytes) == 0) {
      const long long begin = offset + static_cast<long long>(header.size());
      if (end >= begin && end - begin <= kMaxPresetData) {
        view.pdtaBegin = begin;
        view.pdtaEnd = end;
      }
      return;
    }
    offset = end + (size & 1);
  }
}

bool ReadPresetData(ViewFile& view) {
  view.pdta.resize(static_cast<std::size_t>(view.pdtaEnd - view.pdtaBegin));
  return ReadAt(view, view.pdtaBegin, view.pdta.data(), view.pdta.size());
}

bool LoadPresetData(ViewFile& view) {
  if (!ReadPresetData(view)) return false;
  WidenZoneRanges(view.pdta);
  if (view.keep) HidePresets(view.pdta, view.keep);
  view.pdtaLoaded = true;
  return true;
}

void* Open(const char* filename) {
  std::FILE* file = std::fopen(filename, "rb");
  if (file == nullptr) return nullptr;
  auto* view = new ViewFile;
  view->file = file;
  if (CurrentFilter != nullptr) view->keep = *CurrentFilter;
  if (fseeko(file, 0, SEEK_END) == 0) view->size = ftello(file);
  view->filePosition = -1;  // unknown: the next read seeks
  LocatePresetData(*view);
  return view;
}

int Read(void* buffer, fluid_long_long_t count, void* handle) {
  auto& view = *static_cast<ViewFile*>(handle);
  if (count < 0 || view.position < 0 || view.position + count > view.size) return FLUID_FAILED;
  auto* out = static_cast<std::uint8_t*>(buffer);
  long long at = view.position;
  const long long end = at + count;
  while (at < end) {
    if (at >= view.pdtaBegin && at < view.pdtaEnd) {
      if (!view.pdtaLoaded && !LoadPresetData(view)) return FLUID_FAILED;
      const long long piece = std::min(end, view.pdtaEnd) - at;
      std::memcpy(out, view.pdta.data() + (at - view.pdtaBegin), static_cast<std::size_t>(piece));
      out += piece;
      at += piece;
      continue;
    }
    const long long stop = at < view.pdtaBegin ? std::min(end, view.pdtaBegin) : end;
    if (!ReadAt(view, at, out, static_cast<std::size_t>(stop - at))) return FLUID_FAILED;
    out += stop - at;
    at = stop;
  }
  view.position = end;
  return FLUID_OK;
}

int Seek(void* handle, fluid_long_long_t offset, int origin) {
  auto& view = *static_cast<ViewFile*>(handle);
  long long base = 0;
  if (origin == SEEK_CUR) base = view.position;
  if (origin == SEEK_END) base = view.size;
  if (origin != SEEK_SET && origin != SEEK_CUR && origin != SEEK_END) return FLUID_FAILED;
  if (base + offset < 0) return FLUID_FAILED;
  view.position = base + offset;
  return FLUID_OK;
}

fluid_long_long_t Tell(void* handle) { return static_cast<ViewFile*>(handle)->position; }

int Close(void* handle) {
  auto* view = static_cast<ViewFile*>(handle);
  std::fclose(view->file);
  delete view;
  return FLUID_OK;
}

}  // namespace

void UseSoundFontView(fluid_synth_t* synth, fluid_settings_t* settings) {
  fluid_sfloader_t* loader = new_fluid_defsfloader(settings);
  if (loader == nullptr) return;  // FluidSynth's own loader still reads the fonts, unpatched
  fluid_sfloader_set_callbacks(loader, Open, Read, Seek, Tell, Close);
  fluid_synth_add_sfloader(synth, loader);  // the synth owns it and asks it first
}

HidingPresets::HidingPresets(PresetFilter keep) : keep_(std::move(keep)), previous_(CurrentFilter) {
  CurrentFilter = keep_ ? &keep_ : nullptr;
}
HidingPresets::~HidingPresets() { CurrentFilter = previous_; }

bool HasReadableLayout(const std::filesystem::path& path) {
  void* handle = Open(path.c_str());
  if (handle == nullptr) return false;
  const auto& view = *static_cast<ViewFile*>(handle);
  const bool readable = view.pdtaEnd > view.pdtaBegin;
  Close(handle);
  return readable;
}

std::vector<std::pair<int, int>> ReadPresetSlots(const std::filesystem::path& path) {
  void* handle = Open(path.c_str());
  if (handle == nullptr) return {};
  auto& view = *static_cast<ViewFile*>(handle);
  std::vector<std::pair<int, int>> slots;
  if (view.pdtaEnd > view.pdtaBegin && ReadPresetData(view)) slots = PresetSlots(view.pdta);
  Close(handle);
  return slots;
}

}  // namespace kalvora
