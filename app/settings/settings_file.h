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
  // settings too, and load_status() says so, so the caller can tell the user once.
  explicit SettingsFile(std::filesystem::path path);

  std::int32_t ReadInteger(std::string_view section, std::string_view key,
                           std::int32_t fallback) const {
    return ini_.ReadInteger(section, key, fallback);
  }
  bool WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
    return ini_.WriteInteger(section, key, value);
  }

  // Replaces the file on disk with these settings. Refused when the file existed but could not be
  // read at start: saving the few values we know would throw away everything else in it.
  FileResult Save(const FileWriter& writer = {}) const;

  SettingsLoadStatus load_status() const { return load_status_; }
  const std::string& load_error() const { return load_error_; }
  bool may_save() const { return load_status_ != SettingsLoadStatus::kUnreadable; }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  IniFile ini_;
  SettingsLoadStatus load_status_;
  std::string load_error_;
};

}  // namespace kalvora
