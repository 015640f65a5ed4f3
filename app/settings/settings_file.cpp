#include "app/settings/settings_file.h"

#include <utility>

namespace kalvora {

SettingsFile::SettingsFile(std::filesystem::path path) : path_(std::move(path)) {
  SettingsLoad load = LoadSettingsFile(path_);
  ini_ = std::move(load.ini);
  load_status_ = load.status;
  load_error_ = std::move(load.error);
}

FileResult SettingsFile::Save(const FileWriter& writer) const {
  if (!may_save()) {
    return {false,
            "not saved, to keep the file that could not be read at start-up (" + load_error_ + ")"};
  }
  return SaveSettingsFile(path_, ini_.Serialize(), writer);
}

}  // namespace kalvora
