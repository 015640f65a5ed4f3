// Reading the settings file from disk, whole, without ever throwing.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "app/settings/ini_file.h"

namespace kalvora {

enum class SettingsLoadStatus {
  kMissing,     // no file yet: empty settings, saved normally at close
  kLoaded,      // read
  kUnreadable,  // something is there but cannot be read: do not overwrite it
};

struct SettingsLoad {
  SettingsLoadStatus status = SettingsLoadStatus::kMissing;
  IniFile ini;        // empty unless kLoaded
  std::string error;  // why it could not be read (kUnreadable only)
};

// Larger than any settings file this program writes by orders of magnitude; anything bigger is not
// ours, and reading it whole would only cost memory.
inline constexpr std::size_t kMaxSettingsFileBytes = std::size_t{16} << 20;

// Never throws. A folder, a device, a file above the size cap or a read error is kUnreadable.
SettingsLoad LoadSettingsFile(const std::filesystem::path& path);

}  // namespace kalvora
