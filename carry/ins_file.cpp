#include "carry/ins_file.h"

#include <string_view>

#include "carry/midnam.h"
#include "catalogue/map_names.h"

namespace kalvora {

namespace {

// The format comes from Windows: its readers expect CR LF.
constexpr std::string_view kEnd = "\r\n";
// Bank select by MSB and LSB, the bank numbered MSB x 128 + LSB.
constexpr std::string_view kBankSelectMsbLsb = "BankSelMethod=0";

std::string Line(std::string_view text) { return std::string(text) + std::string(kEnd); }

int CombinedBank(const PatchBank& bank) { return bank.bankMsb * 128 + bank.bankLsb; }

std::string ToneListName(const MapPatches& map, const PatchBank& bank) {
  return std::string(MapName(map.map)) + " bank " + std::to_string(bank.bankMsb);
}
std::string DrumListName(const MapPatches& map) {
  return std::string(MapName(map.map)) + " drum sets";
}
std::string KeyListName(const MapPatches& map, const Patch& set) {
  return std::string(MapName(map.map)) + " drum set " + std::to_string(set.program) + " " +
         std::string(set.name);
}

void PatchList(std::string& ins, const std::string& name, const PatchBank& bank) {
  ins += Line("[" + name + "]");
  for (const Patch& patch : bank.patches) {
    ins += Line(std::to_string(patch.program - 1) + "=" + std::string(patch.name));
  }
  ins += kEnd;
}

}  // namespace

std::string InstrumentDefinitions(std::span<const MapPatches> maps) {
  std::string ins = Line("; The tone maps' tones, drum sets and drum keys, written by Kalvora");
  ins += kEnd;
  ins += Line(".Patch Names");
  ins += kEnd;
  for (const MapPatches& map : maps) {
    for (const PatchBank& bank : map.toneBanks) PatchList(ins, ToneListName(map, bank), bank);
    PatchList(ins, DrumListName(map), map.drumSets);
  }
  ins += Line(".Note Names");
  ins += kEnd;
  for (const MapPatches& map : maps) {
    for (const Patch& set : map.drumSets.patches) {
      if (set.drumSet == nullptr) continue;
      ins += Line("[" + KeyListName(map, set) + "]");
      for (const DrumKey& key : KeysOf(*set.drumSet)) {
        ins += Line(std::to_string(key.note) + "=" + std::string(key.name));
      }
      ins += kEnd;
    }
  }
  ins += Line(".Instrument Definitions");
  ins += kEnd;
  for (const MapPatches& map : maps) {
    ins += Line("[" + MidnamModel(map.map) + "]");
    ins += Line(kBankSelectMsbLsb);
    for (const PatchBank& bank : map.toneBanks) {
      ins += Line("Patch[" + std::to_string(CombinedBank(bank)) + "]=" + ToneListName(map, bank));
    }
    ins += kEnd;
    const int drumBank = CombinedBank(map.drumSets);
    ins += Line("[" + MidnamModel(map.map) + " drum sets]");
    ins += Line(kBankSelectMsbLsb);
    ins += Line("Patch[" + std::to_string(drumBank) + "]=" + DrumListName(map));
    for (const Patch& set : map.drumSets.patches) {
      const std::string slot = std::to_string(drumBank) + "," + std::to_string(set.program - 1);
      ins += Line("Key[" + slot + "]=" + KeyListName(map, set));
      ins += Line("Drum[" + slot + "]=1");
    }
    ins += kEnd;
  }
  return ins;
}

}  // namespace kalvora
