#include "app/settings/settings_location.h"

#include <chrono>
#include <cstdint>
#include <exception>
#include <string>

#include "app/settings/durable_write.h"

namespace kalvora {

namespace fs = std::filesystem;

namespace {

constexpr auto kSettingsExtension = ".ini";

// Creates and removes a file in folder: the one test of writability that holds for every user.
bool FolderTakesNewFiles(const fs::path& folder) {
  const auto tag =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  const fs::path probe = folder / (".kalvora-probe-" + std::to_string(tag));
  if (WriteNewFileDurably(probe, {})) return false;
  std::error_code ec;
  fs::remove(probe, ec);
  return true;
}

}  // namespace

fs::path SettingsPathBeside(const fs::path& executable) {
  // Native strings, so names outside the system code page survive on every platform.
  fs::path::string_type name = executable.filename().native();
  const auto dot = name.rfind(fs::path::value_type('.'));
  if (dot != fs::path::string_type::npos) name.erase(dot);
  name += fs::path(kSettingsExtension).native();
  return executable.parent_path() / name;
}

SettingsLocation ChooseSettingsLocation(const fs::path& executable,
                                        const fs::path& fallbackFolder) {
  try {
    const fs::path beside = SettingsPathBeside(executable);
    const fs::path inUserFolder = fallbackFolder / beside.filename();
    std::error_code ec;
    if (fs::exists(beside, ec)) {
      if (FileTakesWrites(beside) || FolderTakesNewFiles(beside.parent_path()) ||
          !fs::exists(inUserFolder, ec)) {
        return {beside, true, inUserFolder};
      }
      return {inUserFolder, false, inUserFolder};
    }
    if (FolderTakesNewFiles(beside.parent_path())) return {beside, true, inUserFolder};
    fs::create_directories(fallbackFolder, ec);  // a failure shows up when saving
    return {inUserFolder, false, inUserFolder};
  } catch (const std::exception&) {
    return {};  // an empty path: loads as missing, and the save reports the failure
  }
}

}  // namespace kalvora
