// Replacing the settings file on disk atomically.
#pragma once

#include <filesystem>
#include <string_view>

#include "app/settings/durable_write.h"
#include "app/settings/file_result.h"

namespace kalvora {

// Writes bytes to a new file beside path, flushes it to the disk, then renames it over path, so a
// crash or a full disk leaves either the old file or the new one, never a part. A symbolic link at
// path is followed, and an existing file's permissions are kept. On any failure the old file is
// untouched and the temporary file removed. Never throws. writer defaults to WriteNewFileDurably.
FileResult SaveSettingsFile(const std::filesystem::path& path, std::string_view bytes,
                            const FileWriter& writer = {});

}  // namespace kalvora
