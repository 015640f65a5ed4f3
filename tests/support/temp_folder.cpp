#include "support/temp_folder.h"

#include <stdlib.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <system_error>

namespace kalvora::test {

namespace fs = std::filesystem;

namespace {
// The owner may do anything; others may list and enter, never write.
constexpr auto kListAndEnter = fs::perms::owner_all | fs::perms::group_read |
                               fs::perms::group_exec | fs::perms::others_read |
                               fs::perms::others_exec;
}  // namespace

TempFolder::TempFolder(Reach reach) {
  std::string pattern = (fs::temp_directory_path() / "kalvora-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw fs::filesystem_error("no temporary folder", pattern,
                               std::error_code(errno, std::generic_category()));
  }
  path_ = pattern;  // mkdtemp gives the owner alone the right to enter
  if (reach == Reach::kOthersMayEnter) fs::permissions(path_, kListAndEnter);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

fs::path TempFolder::write(const fs::path& name, std::string_view content) const {
  const fs::path file = path_ / name;
  fs::create_directories(file.parent_path());
  WriteBytes(file, content);
  return file;
}

std::vector<std::string> TempFolder::entries() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path_)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

void WriteBytes(const fs::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace kalvora::test
