// Where the settings file lives: beside the executable when that works, else in a user folder.
#pragma once

#include <filesystem>

namespace kalvora {

// The executable's path with its extension replaced by ".ini". The extension is the text from the
// last "." of the file name on ("/a.b/kalvora" -> "/a.b/kalvora.ini", "x.exe" -> "x.ini").
std::filesystem::path SettingsPathBeside(const std::filesystem::path& executable);

struct SettingsLocation {
  std::filesystem::path path;
  bool besideExecutable = false;
  // The same file name in the user's folder: where the settings go when path cannot be written.
  std::filesystem::path inUserFolder;
};

// The file beside the executable when it can be written (in place, or replaced through its
// folder) or could be created there; all is tried for real, since permission bits say nothing to
// an administrator. A file beside that takes no writes is still read until a copy exists in the
// user's folder, and from then on that copy. Otherwise the same file name inside fallbackFolder,
// which is created if needed. Never throws.
SettingsLocation ChooseSettingsLocation(const std::filesystem::path& executable,
                                        const std::filesystem::path& fallbackFolder);

}  // namespace kalvora
