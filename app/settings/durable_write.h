// Writing a new file all the way to the disk, and making a rename durable.
#pragma once

#include <filesystem>
#include <functional>
#include <string_view>
#include <system_error>

namespace kalvora {

// Creates path (it must not exist yet), writes bytes, flushes them to the disk and closes it.
// The save takes one of these so tests can make the write fail part-way.
using FileWriter =
    std::function<std::error_code(const std::filesystem::path& path, std::string_view bytes)>;

std::error_code WriteNewFileDurably(const std::filesystem::path& path, std::string_view bytes);

// Rewrites an existing file through its own entry, for a folder that takes no new file. The old
// content is read first and the file is overwritten from its start without being emptied; only
// when every new byte is written is it cut to the new length and flushed. When a write or the
// cut fails (a full disk, a quota, an I/O error), the old bytes and length are written back
// before the error is returned. A crash in the middle of the overwrite can still leave a mix:
// without a second file nothing can be atomic.
std::error_code RewriteInPlace(const std::filesystem::path& path, std::string_view bytes);

// Opens an existing file for writing and closes it again, changing nothing.
bool FileTakesWrites(const std::filesystem::path& path);

// Flushes a folder's entries, so a rename inside it survives a power cut. Best effort.
void SyncFolder(const std::filesystem::path& folder);

}  // namespace kalvora
