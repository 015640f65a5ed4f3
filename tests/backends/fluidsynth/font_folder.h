// A temporary folder of SoundFont files for the synth's tests, and an audio output that needs no
// sound card.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "midi/backends/fluidsynth/synth_audio_outputs.h"

namespace kalvora::test {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kalvora-fonts-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "no temporary folder";
    path_ = pattern;
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }
  // A file whose header says SoundFont and whose body is nonsense.
  std::filesystem::path font(const std::string& name) const {
    return write(name, {"RIFF\4\0\0\0sfbkjunk", 16});
  }
  std::filesystem::path text(const std::string& name) const {
    return write(name, "not a SoundFont");
  }
  std::filesystem::path write(const std::string& name, std::string_view content) const {
    std::filesystem::create_directories((path_ / name).parent_path());
    std::ofstream(path_ / name, std::ios::binary) << content;
    return path_ / name;
  }

 private:
  std::filesystem::path path_;
};

// Plays into /dev/null in real time: a working audio output on a machine without a sound card.
inline std::vector<SynthAudioOutput> NullAudio() {
  return {{"file", {{"audio.file.name", "/dev/null"}, {"audio.file.type", "raw"}}}};
}

}  // namespace kalvora::test
