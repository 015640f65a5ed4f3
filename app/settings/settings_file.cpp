#include "app/settings/settings_file.h"

#include <utility>

namespace kalvora {

SettingsFile::SettingsFile(std::filesystem::path path, std::filesystem::path inUserFolder)
    : path_(std::move(path)), inUserFolder_(std::move(inUserFolder)) {
  SettingsLoad load = LoadSettingsFile(path_);
  ini_ = std::move(load.ini);
  loadStatus_ = load.status;
  loadError_ = std::move(load.error);
}

FileResult SettingsFile::save(const FileWriter& writer) {
  if (!maySave()) {
    return {false,
            "not saved, to keep the file that could not be read at start-up (" + loadError_ + ")"};
  }
  const std::string bytes = ini_.serialize();
  FileResult saved = SaveSettingsFile(path_, bytes, writer);
  if (saved || !saved.denied || inUserFolder_.empty() || inUserFolder_ == path_) return saved;
  std::error_code ec;
  std::filesystem::create_directories(inUserFolder_.parent_path(), ec);
  FileResult moved = SaveSettingsFile(inUserFolder_, bytes, writer);
  if (!moved) return saved;  // the file the user knows is the one to hear about
  path_ = inUserFolder_;
  moved_ = true;
  return moved;
}

}  // namespace kalvora
