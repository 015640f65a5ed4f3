// The settings file of one run: read once when the window is created, written once when it closes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "app/settings/file_result.h"
#include "app/settings/ini_file.h"
#include "app/settings/settings_load.h"
#include "app/settings/settings_save.h"

namespace kalvora {

class SettingsFile {
 public:
  // Loads path at once. A missing file gives empty settings; an unreadable one gives empty
  // settings too, and maySave() is false, so the caller can tell the user once. inUserFolder
  // is where save() puts the settings when path cannot be written at all.
  explicit SettingsFile(std::filesystem::path path, std::filesystem::path inUserFolder = {});

  std::int32_t readInteger(std::string_view section, std::string_view key,
                           std::int32_t fallback) const {
    return ini_.readInteger(section, key, fallback);
  }
  bool writeInteger(std::string_view section, std::string_view key, std::int32_t value) {
    return ini_.writeInteger(section, key, value);
  }

  // Replaces the file on disk with these settings. Refused when the file existed but could not be
  // read at start: saving the few values we know would throw away everything else in it. A file
  // that takes no writes at all (permissions, a read-only disk) has them saved in inUserFolder
  // instead, and movedToUserFolder() says so.
  FileResult save(const FileWriter& writer = {});
  bool movedToUserFolder() const { return moved_; }

  bool maySave() const { return loadStatus_ != SettingsLoadStatus::kUnreadable; }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::filesystem::path inUserFolder_;
  bool moved_ = false;
  IniFile ini_;
  SettingsLoadStatus loadStatus_;
  std::string loadError_;
};

}  // namespace kalvora
