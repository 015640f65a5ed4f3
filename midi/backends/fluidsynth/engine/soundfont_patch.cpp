#include "midi/backends/fluidsynth/engine/soundfont_patch.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace kalvora {

namespace {

constexpr std::size_t kTagBytes = 4;
constexpr std::size_t kChunkHeader = 8;    // tag, size
constexpr std::size_t kPresetRecord = 38;  // phdr: name[20], preset, bank, bag index, 3 dwords
constexpr std::size_t kPresetNumber = 20;
constexpr std::size_t kPresetBank = 22;
constexpr std::size_t kPresetBagIndex = 24;
constexpr std::size_t kInstrumentRecord = 22;  // inst: name[20], bag index
constexpr std::size_t kInstrumentBagIndex = 20;
constexpr std::size_t kNameBytes = 20;
constexpr std::size_t kBagRecord = 4;  // generator index, modulator index
constexpr std::size_t kGenRecord = 4;  // operator, amount
constexpr std::uint16_t kGenKeyRange = 43;
constexpr std::uint16_t kGenVelRange = 44;
constexpr std::uint16_t kGenInstrument = 41;
constexpr std::uint16_t kGenSampleId = 53;
constexpr std::uint8_t kGenUnused = 59;  // "unused5": FluidSynth skips it
constexpr int kTop = 127;                // highest key and velocity

std::uint16_t Word(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

struct Chunk {
  std::uint8_t* data = nullptr;
  std::size_t size = 0;
};

// The sub-chunks of the pdta chunk by their four-letter names.
std::map<std::string_view, Chunk> SubChunks(std::span<std::uint8_t> pdta) {
  std::map<std::string_view, Chunk> chunks;
  std::size_t offset = 0;
  while (pdta.size() - offset >= kChunkHeader) {
    const std::uint8_t* header = pdta.data() + offset;
    const std::size_t size =
        Word(header + kTagBytes) | static_cast<std::size_t>(Word(header + kTagBytes + 2)) << 16;
    if (size > pdta.size() - offset - kChunkHeader) break;
    chunks.emplace(std::string_view(reinterpret_cast<const char*>(header), kTagBytes),
                   Chunk{pdta.data() + offset + kChunkHeader, size});
    offset += kChunkHeader + size + (size & 1);
  }
  return chunks;
}

// One level of the hierarchy: presets with their zones (bags) and generators, or instruments.
struct Level {
  Chunk owners, bags, gens;
  std::size_t ownerRecord = 0, ownerBagIndex = 0;
  std::uint16_t terminal = 0;  // the generator that ends a zone that is not global

  std::size_t ownerCount() const { return owners.size / ownerRecord; }
  std::size_t bagCount() const { return bags.size / kBagRecord; }
  std::size_t genCount() const { return gens.size / kGenRecord; }
  std::size_t ownerBag(std::size_t i) const {
    return Word(owners.data + i * ownerRecord + ownerBagIndex);
  }
  std::size_t bagGen(std::size_t z) const { return Word(bags.data + z * kBagRecord); }
  std::uint8_t* gen(std::size_t g) const { return gens.data + g * kGenRecord; }

  // Every index runs forward and stays inside its table, so walking the zones is safe.
  bool valid() const {
    if (owners.size % ownerRecord != 0 || bags.size % kBagRecord != 0 ||
        gens.size % kGenRecord != 0 || ownerCount() < 1 || bagCount() < 1) {
      return false;
    }
    for (std::size_t i = 0; i + 1 < ownerCount(); ++i) {
      if (ownerBag(i) > ownerBag(i + 1)) return false;
    }
    if (ownerBag(ownerCount() - 1) >= bagCount()) return false;
    for (std::size_t z = 0; z + 1 < bagCount(); ++z) {
      if (bagGen(z) > bagGen(z + 1)) return false;
    }
    return bagGen(bagCount() - 1) <= genCount();
  }
};

std::optional<std::pair<Level, Level>> Levels(std::span<std::uint8_t> pdta) {
  auto chunks = SubChunks(pdta);
  for (const char* name : {"phdr", "pbag", "pgen", "inst", "ibag", "igen"}) {
    if (!chunks.contains(name)) return std::nullopt;
  }
  const Level presets{chunks["phdr"], chunks["pbag"],  chunks["pgen"],
                      kPresetRecord,  kPresetBagIndex, kGenInstrument};
  const Level instruments{chunks["inst"],    chunks["ibag"],      chunks["igen"],
                          kInstrumentRecord, kInstrumentBagIndex, kGenSampleId};
  if (!presets.valid() || !instruments.valid()) return std::nullopt;
  return std::pair{presets, instruments};
}

// A zone's key and velocity range amounts (low byte, high byte), where it has them. A zone
// without one covers every key or velocity. As the file format has it, the key range counts
// only as the first generator and the velocity range only first or after the key range.
struct Zone {
  std::uint8_t* keys = nullptr;
  std::uint8_t* velocities = nullptr;
};

std::vector<Zone> ZonesOf(const Level& level, std::size_t owner) {
  std::vector<Zone> zones;
  for (std::size_t z = level.ownerBag(owner); z < level.ownerBag(owner + 1); ++z) {
    const std::size_t first = level.bagGen(z), end = level.bagGen(z + 1);
    Zone zone;
    bool terminated = false;
    for (std::size_t g = first; g < end; ++g) {
      const std::uint16_t oper = Word(level.gen(g));
      std::uint8_t* amount = level.gen(g) + 2;
      if (oper == kGenKeyRange && g == first) zone.keys = amount;
      if (oper == kGenVelRange && (g == first || (g == first + 1 && zone.keys))) {
        zone.velocities = amount;
      }
      terminated = terminated || oper == level.terminal;
    }
    if (terminated) zones.push_back(zone);  // a global zone plays nothing of its own
  }
  return zones;
}

// The one-dimensional widening: ranges are (low, high) byte pairs; full tells that some zone
// covers everything already.
void Widen(const std::vector<std::uint8_t*>& ranges, bool full) {
  if (full || ranges.empty()) return;
  std::array<bool, kTop + 1> covered{};
  for (const std::uint8_t* range : ranges) {
    for (int x = range[0]; x <= std::min<int>(range[1], kTop); ++x) covered[x] = true;
  }
  if (std::none_of(covered.begin(), covered.end(), [](bool c) { return c; })) return;
  // Each end of the gap [a, b] goes to the zones beside it; the lower one takes the middle.
  auto gapBelow = [&](int x) {
    int a = x;
    while (a > 0 && !covered[a - 1]) --a;
    return a;
  };
  auto gapAbove = [&](int x) {
    int b = x;
    while (b < kTop && !covered[b + 1]) ++b;
    return b;
  };
  std::vector<std::pair<std::uint8_t, std::uint8_t>> widened;
  for (const std::uint8_t* range : ranges) {
    int low = range[0], high = range[1];
    if (low > high || high > kTop) {
      widened.emplace_back(range[0], range[1]);
      continue;
    }
    if (low > 0 && !covered[low - 1]) {
      const int a = gapBelow(low - 1), b = low - 1;
      low = a == 0 ? 0 : a + (b - a) / 2 + 1;
    }
    if (high < kTop && !covered[high + 1]) {
      const int a = high + 1, b = gapAbove(high + 1);
      high = b == kTop ? kTop : a + (b - a) / 2;
    }
    widened.emplace_back(static_cast<std::uint8_t>(low), static_cast<std::uint8_t>(high));
  }
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    ranges[i][0] = widened[i].first;
    ranges[i][1] = widened[i].second;
  }
}

void WidenLevel(const Level& level) {
  for (std::size_t owner = 0; owner + 1 < level.ownerCount(); ++owner) {
    const std::vector<Zone> zones = ZonesOf(level, owner);
    std::vector<std::uint8_t*> keys;
    bool allKeys = false;
    for (const Zone& zone : zones) {
      if (zone.keys) keys.push_back(zone.keys);
      allKeys = allKeys || !zone.keys;
    }
    Widen(keys, allKeys);
    // Velocity layers, each set of zones that share a key range on its own.
    std::map<std::pair<int, int>, std::pair<std::vector<std::uint8_t*>, bool>> layers;
    for (const Zone& zone : zones) {
      const auto span = zone.keys ? std::pair<int, int>{zone.keys[0], zone.keys[1]}
                                  : std::pair<int, int>{0, kTop};
      auto& [velocities, full] = layers[span];
      if (zone.velocities) velocities.push_back(zone.velocities);
      full = full || !zone.velocities;
    }
    for (const auto& [span, layer] : layers) Widen(layer.first, layer.second);
  }
}

}  // namespace

bool WidenZoneRanges(std::span<std::uint8_t> pdta) {
  const auto levels = Levels(pdta);
  if (!levels) return false;
  WidenLevel(levels->first);
  WidenLevel(levels->second);
  return true;
}

bool HidePresets(std::span<std::uint8_t> pdta, const PresetFilter& keep) {
  const auto levels = Levels(pdta);
  if (!levels) return false;
  const Level& presets = levels->first;
  for (std::size_t i = 0; i + 1 < presets.ownerCount(); ++i) {
    std::uint8_t* record = presets.owners.data + i * kPresetRecord;
    const std::uint16_t bank = Word(record + kPresetBank);
    const int program = Word(record + kPresetNumber) + 1;
    const auto* name = reinterpret_cast<const char*>(record);
    const std::string_view presetName(name, std::find(name, name + kNameBytes, '\0') - name);
    if (keep(program, bank, presetName)) continue;
    record[kPresetBank] = kHiddenBank & 0xFF;
    record[kPresetBank + 1] = kHiddenBank >> 8;
    // A zone without its instrument is one FluidSynth leaves out.
    for (std::size_t g = presets.bagGen(presets.ownerBag(i));
         g < presets.bagGen(presets.ownerBag(i + 1)); ++g) {
      if (Word(presets.gen(g)) == kGenInstrument) {
        presets.gen(g)[0] = kGenUnused;
        presets.gen(g)[1] = 0;
      }
    }
  }
  return true;
}

std::vector<std::pair<int, int>> PresetSlots(std::span<std::uint8_t> pdta) {
  std::vector<std::pair<int, int>> slots;
  const auto levels = Levels(pdta);
  if (!levels) return slots;
  const Level& presets = levels->first;
  for (std::size_t i = 0; i + 1 < presets.ownerCount(); ++i) {
    const std::uint8_t* record = presets.owners.data + i * kPresetRecord;
    slots.emplace_back(Word(record + kPresetBank), Word(record + kPresetNumber) + 1);
  }
  return slots;
}

}  // namespace kalvora
