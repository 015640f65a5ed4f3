#include "app/settings/settings_load.h"

#include <cerrno>
#include <cstdio>
#include <exception>
#include <memory>
#include <system_error>
#include <utility>

namespace kalvora {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kReadChunk = 4096;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

SettingsLoad Unreadable(std::string why) {
  SettingsLoad load;
  load.status = SettingsLoadStatus::kUnreadable;
  load.error = std::move(why);
  return load;
}

std::FILE* OpenForReading(const fs::path& path) { return std::fopen(path.c_str(), "rb"); }

std::string ErrnoText(int code) { return std::generic_category().message(code); }

}  // namespace

SettingsLoad LoadSettingsFile(const fs::path& path) {
  try {
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (st.type() == fs::file_type::not_found) return {};
    if (ec) return Unreadable(ec.message());
    if (st.type() != fs::file_type::regular) return Unreadable("not a regular file");

    errno = 0;
    const std::unique_ptr<std::FILE, FileCloser> file(OpenForReading(path));
    if (!file) {
      const int code = errno;
      if (code == ENOENT) return {};  // removed since we looked
      return Unreadable(code != 0 ? ErrnoText(code) : "cannot be opened");
    }

    std::string text;
    char buffer[kReadChunk];
    for (;;) {
      const std::size_t n = std::fread(buffer, 1, sizeof buffer, file.get());
      text.append(buffer, n);
      if (text.size() > kMaxSettingsFileBytes) return Unreadable("file too large");
      if (n < sizeof buffer) break;
    }
    if (std::ferror(file.get())) {
      const int code = errno;
      return Unreadable(code != 0 ? ErrnoText(code) : "read error");
    }

    SettingsLoad load;
    load.status = SettingsLoadStatus::kLoaded;
    load.ini = IniFile::parse(text);
    return load;
  } catch (const std::exception& e) {
    return Unreadable(e.what());
  }
}

}  // namespace kalvora
