#include "app/command_line.h"

#include <string_view>

#include "app/export_instruments.h"
#include "catalogue/tone_names.h"

namespace kalvora {

namespace {

constexpr std::string_view kHelp = "--help";
constexpr std::string_view kExport = "--export-instruments";

constexpr std::string_view kUsage =
    "Usage: kalvora [--help | --export-instruments DIR]\n"
    "Auditions the tones of a GS-family or General MIDI sound module from one window.\n"
    "\n"
    "  --help                     show this text and end\n"
    "  --export-instruments DIR   write the five tone maps into DIR (made when missing) for\n"
    "                             sequencers, without opening a window: one MIDNAM document per\n"
    "                             map (kalvora-GM.midnam .. kalvora-SC-8850.midnam) and "
    "kalvora.ins\n";

}  // namespace

std::optional<int> RunCommandLineOption(int argc, const char* const argv[], std::ostream& out,
                                        std::ostream& err) {
  if (argc < 2) return std::nullopt;
  const std::string_view option = argv[1];
  if (option == kHelp) {
    out << kUsage;
    return 0;
  }
  if (option != kExport) return std::nullopt;
  if (argc != 3 || std::string_view(argv[2]).empty()) {
    err << "kalvora: " << kExport << " takes one folder: " << kExport << " DIR\n";
    return 1;
  }
  FillToneNames();
  if (const std::string error = ExportInstruments(argv[2]); !error.empty()) {
    err << "kalvora: " << error << "\n";
    return 1;
  }
  return 0;
}

}  // namespace kalvora
