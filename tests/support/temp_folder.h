// A fresh empty folder of a test's or benchmark's own, removed with all it holds when the object
// goes.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kalvora::test {

class TempFolder {
 public:
  // Who may enter: the owner alone, or anyone (for a part of a test run as another user).
  enum class Reach { kOwnerOnly, kOthersMayEnter };

  // Throws std::filesystem::filesystem_error when no folder can be made.
  explicit TempFolder(Reach reach = Reach::kOwnerOnly);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }
  // Writes the file name inside (making the folders on its way) and returns its path.
  std::filesystem::path write(const std::filesystem::path& name, std::string_view content) const;
  // Every entry's file name, to catch temporary files left behind.
  std::vector<std::string> entries() const;

 private:
  std::filesystem::path path_;
};

void WriteBytes(const std::filesystem::path& path, std::string_view bytes);
std::string ReadBytes(const std::filesystem::path& path);

}  // namespace kalvora::test
