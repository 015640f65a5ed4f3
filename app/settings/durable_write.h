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

// Flushes a folder's entries, so a rename inside it survives a power cut. Best effort.
void SyncFolder(const std::filesystem::path& folder);

}  // namespace kalvora
