// Where the settings file lives: beside the executable when that works, else in a user folder.
#pragma once

#include <filesystem>

namespace kalvora {

// The executable's path with its extension replaced by ".ini". The extension is the text from the
// last "." of the file name on ("/a.b/kalvora" -> "/a.b/kalvora.ini", "x.exe" -> "x.ini").
std::filesystem::path SettingsPathBeside(const std::filesystem::path& executable);

struct SettingsLocation {
  std::filesystem::path path;
  bool beside_executable = false;
};

// The file beside the executable when it exists or its folder takes a new file (tried for real:
// permission bits say nothing to an administrator). Otherwise the same file name inside
// fallback_folder, which is created if needed. Never throws.
SettingsLocation ChooseSettingsLocation(const std::filesystem::path& executable,
                                        const std::filesystem::path& fallback_folder);

}  // namespace kalvora
