#include "app/settings/settings_save.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <string>

namespace kalvora {

namespace {

namespace fs = std::filesystem;

constexpr int kTempNameAttempts = 8;

// A name no other save (of this or another running copy) is using at the same moment.
fs::path TempPathBeside(const fs::path& target, int attempt) {
  static std::atomic<std::uint64_t> counter{0};
  const auto ticks =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  const std::uint64_t tag =
      ticks ^ (counter.fetch_add(1) << 48) ^ static_cast<std::uint64_t>(attempt);
  fs::path name = ".";
  name += target.filename();
  name += ".tmp-" + std::to_string(tag);
  return target.parent_path() / name;
}

// The file a save really replaces: the target of a symbolic link, not the link itself.
fs::path ResolveTarget(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_symlink(fs::symlink_status(path, ec))) return path;
  const fs::path resolved = fs::weakly_canonical(path, ec);
  return ec ? path : resolved;
}

bool IsDenial(const std::error_code& ec) {
  return ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted ||
         ec == std::errc::read_only_file_system;
}

FileResult Failure(const std::string& step, const std::error_code& ec) {
  return {false, step + ": " + ec.message(), IsDenial(ec)};
}

}  // namespace

FileResult SaveSettingsFile(const fs::path& path, std::string_view bytes,
                            const FileWriter& writer) {
  try {
    const fs::path target = ResolveTarget(path);
    std::error_code ec;
    fs::path temp;
    for (int attempt = 0;; ++attempt) {
      temp = TempPathBeside(target, attempt);
      ec = writer ? writer(temp, bytes) : WriteNewFileDurably(temp, bytes);
      if (ec != std::errc::file_exists || attempt + 1 == kTempNameAttempts) break;
    }
    if (ec && IsDenial(ec) && fs::is_regular_file(target)) {
      // The folder takes no new file, yet the file itself may still take writes.
      ec = RewriteInPlace(target, bytes);
      return ec ? Failure("cannot write " + target.string(), ec) : FileResult{true, {}};
    }
    if (ec) {
      std::error_code ignored;
      if (ec != std::errc::file_exists) fs::remove(temp, ignored);  // never someone else's file
      return Failure("cannot write a new " + target.string(), ec);
    }

    std::error_code permissionError;
    const fs::file_status old = fs::status(target, permissionError);
    if (!permissionError && fs::is_regular_file(old))
      fs::permissions(temp, old.permissions(), permissionError);

    fs::rename(temp, target, ec);
    if (ec) {
      std::error_code ignored;
      fs::remove(temp, ignored);
      return Failure("cannot replace " + target.string(), ec);
    }
    SyncFolder(target.parent_path());
    return {true, {}};
  } catch (const std::exception& e) {
    return {false, e.what()};
  }
}

}  // namespace kalvora
