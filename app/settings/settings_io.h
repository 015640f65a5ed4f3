// Reading the settings file from disk and replacing it atomically.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "app/settings/durable_write.h"
#include "app/settings/file_result.h"
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

// Writes bytes to a new file beside path, flushes it to the disk, then renames it over path, so a
// crash or a full disk leaves either the old file or the new one, never a part. A symbolic link at
// path is followed, and an existing file's permissions are kept. On any failure the old file is
// untouched and the temporary file removed. A folder that takes no new file gets the file rewritten
// in place (RewriteInPlace). Never throws. writer defaults to WriteNewFileDurably.
FileResult SaveSettingsFile(const std::filesystem::path& path, std::string_view bytes,
                            const FileWriter& writer = {});

}  // namespace kalvora
