#include "carry/midnam.h"

#include <string_view>

#include "catalogue/map_names.h"
#include "midi/midi_bytes.h"

namespace kalvora {

namespace {

constexpr std::string_view kToneNameSet = "Tones";
constexpr std::string_view kDrumNameSet = "Drum sets";

std::string Escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Attribute(std::string_view name, std::string_view value) {
  std::string text(" ");
  return text.append(name).append("=\"").append(Escaped(value)).append("\"");
}
std::string Attribute(std::string_view name, int value) {
  return Attribute(name, std::to_string(value));
}

// One name per drum set in the document: a set's name may repeat in other maps, not in one.
std::string NoteListName(const Patch& patch) {
  return "Drum set " + std::to_string(patch.program) + " " + std::string(patch.name);
}

void Channels(std::string& xml, bool rhythm) {
  xml += "      <AvailableForChannels>\n";
  for (int channel = 1; channel <= kChannelCount; ++channel) {
    const bool available = (channel == kRhythmChannel + 1) == rhythm;
    xml += "        <AvailableChannel" + Attribute("Channel", channel) +
           Attribute("Available", available ? "true" : "false") + "/>\n";
  }
  xml += "      </AvailableForChannels>\n";
}

void Bank(std::string& xml, const PatchBank& bank, std::string_view name) {
  xml += "      <PatchBank" + Attribute("Name", name) + Attribute("ROM", "true") + ">\n";
  xml += "        <MIDICommands>\n";
  xml += "          <ControlChange" + Attribute("Control", kControlBankMsb) +
         Attribute("Value", bank.bankMsb) + "/>\n";
  xml += "          <ControlChange" + Attribute("Control", kControlBankLsb) +
         Attribute("Value", bank.bankLsb) + "/>\n";
  xml += "        </MIDICommands>\n        <PatchNameList" + Attribute("Name", name) + ">\n";
  for (const Patch& patch : bank.patches) {
    xml += "          <Patch" + Attribute("Number", patch.program) + Attribute("Name", patch.name) +
           Attribute("ProgramChange", patch.program - 1);
    if (patch.drumSet == nullptr) {
      xml += "/>\n";
      continue;
    }
    xml += ">\n            <UsesNoteNameList" + Attribute("Name", NoteListName(patch)) +
           "/>\n          </Patch>\n";
  }
  xml += "        </PatchNameList>\n      </PatchBank>\n";
}

}  // namespace

std::string MidnamModel(int map) { return "Kalvora " + std::string(MapName(map)); }

std::string MidnamDocument(const MapPatches& map) {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE MIDINameDocument PUBLIC \"-//MIDI Manufacturers Association//DTD "
      "MIDINameDocument 1.0//EN\" \"http://www.midi.org/dtds/MIDINameDocument10.dtd\">\n"
      "<MIDINameDocument>\n  <Author>Kalvora</Author>\n  <MasterDeviceNames>\n"
      "    <Manufacturer>Kalvora</Manufacturer>\n";
  xml += "    <Model>" + Escaped(MidnamModel(map.map)) + "</Model>\n";
  xml += "    <CustomDeviceMode" + Attribute("Name", "Default") + ">\n";
  xml += "      <ChannelNameSetAssignments>\n";
  for (int channel = 1; channel <= kChannelCount; ++channel) {
    const bool rhythm = channel == kRhythmChannel + 1;
    xml += "        <ChannelNameSetAssign" + Attribute("Channel", channel) +
           Attribute("NameSet", rhythm ? kDrumNameSet : kToneNameSet) + "/>\n";
  }
  xml += "      </ChannelNameSetAssignments>\n    </CustomDeviceMode>\n";

  xml += "    <ChannelNameSet" + Attribute("Name", kToneNameSet) + ">\n";
  Channels(xml, false);
  for (const PatchBank& bank : map.toneBanks) {
    Bank(xml, bank, std::string(MapName(map.map)) + " bank " + std::to_string(bank.bankMsb));
  }
  xml += "    </ChannelNameSet>\n";

  xml += "    <ChannelNameSet" + Attribute("Name", kDrumNameSet) + ">\n";
  Channels(xml, true);
  Bank(xml, map.drumSets, std::string(MapName(map.map)) + " drum sets");
  xml += "    </ChannelNameSet>\n";

  for (const Patch& patch : map.drumSets.patches) {
    if (patch.drumSet == nullptr) continue;
    xml += "    <NoteNameList" + Attribute("Name", NoteListName(patch)) + ">\n";
    for (const DrumKey& key : KeysOf(*patch.drumSet)) {
      xml += "      <Note" + Attribute("Number", key.note) + Attribute("Name", key.name) + "/>\n";
    }
    xml += "    </NoteNameList>\n";
  }
  xml += "  </MasterDeviceNames>\n</MIDINameDocument>\n";
  return xml;
}

}  // namespace kalvora
