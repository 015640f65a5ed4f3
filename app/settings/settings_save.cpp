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

FileResult Failure(const std::string& step, const std::error_code& ec) {
  return {false, step + ": " + ec.message()};
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
    if (ec) {
      std::error_code ignored;
      if (ec != std::errc::file_exists) fs::remove(temp, ignored);  // never someone else's file
      return Failure("cannot write a new " + target.string(), ec);
    }

    std::error_code perm_ec;
    const fs::file_status old = fs::status(target, perm_ec);
    if (!perm_ec && fs::is_regular_file(old)) fs::permissions(temp, old.permissions(), perm_ec);

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
