// The built-in synth as a device: its listing, the SoundFont search, and the open's results.
#include "midi/backends/fluidsynth/fluidsynth_backend.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "fluidsynth_test_support.h"
#include "midi/backends/fluidsynth/engine/outputs/fluidsynth_audio.h"
#include "midi/backends/fluidsynth/engine/outputs/pipewire_output.h"
#include "midi/backends/fluidsynth/engine/outputs/pulse_output.h"
#include "midi/midi_out.h"
#include "support/pulse_test_server.h"
#include "support/stderr_capture.h"
#include "support/temp_folder.h"

namespace kalvora::test {
namespace {

namespace fs = std::filesystem;

// The real drivers, pointed at a server and a device that do not exist.
std::vector<SynthAudioOutput> UnreachableAudio() {
  return {{"pulseaudio", {{"audio.pulseaudio.server", "unix:/nonexistent/kalvora/native"}}},
          {"alsa", {{"audio.alsa.device", "kalvora_no_such_device"}}}};
}

struct SearchCase {
  std::vector<std::vector<std::string>> folders;    // the files each folder holds
  std::optional<std::pair<int, std::string>> base;  // folder and name expected
  std::optional<std::pair<int, std::string>> overlay;
};

TEST(SoundFontSearch, PicksBaseAndOverlayByName) {
  const std::string gm = "FluidR3_GM.sf2", gs = "FluidR3_GS.sf2", def = "default-GM.sf2";
  const std::vector<SearchCase> cases{
      {{{gm, gs}}, {{0, gm}}, {{0, gs}}},
      {{{gm}}, {{0, gm}}, {}},
      {{{def}}, {{0, def}}, {}},
      {{{def, gs}}, {{0, def}}, {{0, gs}}},
      {{{gm, def}}, {{0, gm}}, {}},
      {{{gs}}, {}, {}},  // variation banks alone are no GM synth
      {{{"FluidR3_GM.sf3", "other.sf2"}}, {}, {}},
      {{{}}, {}, {}},
      {{{gs}, {gm}}, {{1, gm}}, {{0, gs}}},
      {{{def}, {gm}}, {{1, gm}}, {}},  // the real set anywhere beats the system default
      {{{gm}, {gm, gs}}, {{0, gm}}, {{1, gs}}},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    std::vector<TempFolder> folders(cases[i].folders.size());
    std::vector<fs::path> paths;
    for (std::size_t f = 0; f < folders.size(); ++f) {
      paths.push_back(folders[f].path());
      for (const auto& name : cases[i].folders[f]) WriteFakeFont(folders[f], name);
    }
    const auto found = FindSoundFonts(paths);
    ASSERT_EQ(found.has_value(), cases[i].base.has_value());
    if (!found) continue;
    EXPECT_EQ(found->base, paths[cases[i].base->first] / cases[i].base->second);
    ASSERT_EQ(found->overlay.has_value(), cases[i].overlay.has_value());
    if (found->overlay) {
      EXPECT_EQ(*found->overlay, paths[cases[i].overlay->first] / cases[i].overlay->second);
    }
  }
}

TEST(SoundFontSearch, OnlySoundFontFilesCount) {
  TempFolder folder;
  fs::create_directories(folder.path() / "FluidR3_GM.sf2");
  fs::create_symlink(folder.path() / "gone.sf2", folder.path() / "default-GM.sf2");
  TempFolder other;
  WriteTextFile(other, "FluidR3_GM.sf2");
  EXPECT_FALSE(FindSoundFonts({folder.path(), other.path(), folder.path() / "missing"}));

  // A link to a font is as good as the font.
  const fs::path real = WriteFakeFont(other, "real.sf2");
  fs::remove(folder.path() / "default-GM.sf2");
  fs::create_symlink(real, folder.path() / "default-GM.sf2");
  const auto found = FindSoundFonts({folder.path()});
  ASSERT_TRUE(found);
  EXPECT_EQ(found->base, folder.path() / "default-GM.sf2");
}

TEST(FluidSynthDevice, ListedOnlyWhenASoundFontIsPresent) {
  TempFolder folder;
  FluidSynthBackend backend(FluidSynthOptions{{folder.path()}, NullAudio()});
  EXPECT_TRUE(backend.portNames().empty());
  EXPECT_EQ(backend.open(0).status, OpenStatus::kBadDevice);

  WriteFakeFont(folder, "default-GM.sf2");
  const auto names = backend.portNames();
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0], kSoftwareSynthName);
  EXPECT_LT(names[0].size(), kProductNameBytes);
  EXPECT_EQ(backend.open(1).status, OpenStatus::kBadDevice);
}

// The engine is a module of its own: without it the synth is not offered, and a file that is not
// the module fails the open with 6, quietly, leaving the device free for a later try.
TEST(FluidSynthDevice, NeedsItsEngineModule) {
  TempFolder folder;
  WriteFakeFont(folder, "FluidR3_GM.sf2");
  FluidSynthOptions options{{folder.path()}, NullAudio()};
  options.enginePaths = {folder.path() / "missing.so"};
  EXPECT_TRUE(FluidSynthBackend(options).portNames().empty());

  options.enginePaths.push_back(WriteTextFile(folder, "not_a_module.so"));
  FluidSynthBackend backend(options);
  ASSERT_EQ(backend.portNames().size(), 1u);
  StderrCapture capture;
  EXPECT_EQ(backend.open(0).status, OpenStatus::kNoDriver);
  EXPECT_EQ(backend.open(0).status, OpenStatus::kNoDriver);
  EXPECT_EQ(capture.finish(), "");

  // The module the build made is found by default, and one that is loaded already loads again.
  const fs::path engine = FindSynthEngine(DefaultSynthEnginePaths());
  ASSERT_FALSE(engine.empty());
  SynthEngine* loaded = LoadSynthEngine(engine);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(LoadSynthEngine(engine), loaded);
  EXPECT_EQ(LoadSynthEngine(folder.path() / "not_a_module.so"), nullptr);
  EXPECT_EQ(LoadSynthEngine({}), nullptr);
}

TEST(FluidSynthDevice, OpensOnceAtATime) {
  if (!InstalledFluidFonts()) GTEST_SKIP() << "FluidR3 SoundFonts are not installed";
  auto backend = std::make_unique<FluidSynthBackend>(
      FluidSynthOptions{DefaultSoundFontFolders(), NullAudio()});
  ASSERT_EQ(backend->portNames().size(), 1u);
  OpenResult first = backend->open(0);
  ASSERT_EQ(first.status, OpenStatus::kOpened);
  ASSERT_NE(first.connection, nullptr);
  const OpenResult second = backend->open(0);
  EXPECT_EQ(second.status, OpenStatus::kInUse);
  EXPECT_EQ(second.connection, nullptr);

  const std::vector<std::uint8_t> noteOn{0x90, 60, 100};
  first.connection->sendLong(GsResetMessage);
  first.connection->sendShort(noteOn);
  first.connection->reset();
  first.connection.reset();

  OpenResult again = backend->open(0);
  EXPECT_EQ(again.status, OpenStatus::kOpened);
  backend.reset();  // the open synth outlives its backend
  again.connection->sendShort(noteOn);
}

TEST(FluidSynthDevice, WithoutSoundDeviceFailsFastAndQuietly) {
  TempFolder folder;
  WriteFakeFont(folder, "FluidR3_GM.sf2");  // never loaded: the sound device is looked for first
  FluidSynthBackend backend(FluidSynthOptions{{folder.path()}, UnreachableAudio()});
  ASSERT_EQ(backend.portNames().size(), 1u);
  for (int attempt = 0; attempt < 2; ++attempt) {  // a failure leaves nothing in use
    StderrCapture capture;
    const auto start = std::chrono::steady_clock::now();
    const OpenResult result = backend.open(0);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const std::string printed = capture.finish();
    EXPECT_EQ(result.status, OpenStatus::kNoDriver);
    EXPECT_EQ(result.connection, nullptr);
    EXPECT_EQ(printed, "");
    // Not held for seconds, as a driver that tries to start a server would hold it; the bound
    // leaves room for a loaded machine beyond the open's own 100 ms wait.
    EXPECT_LT(elapsed, std::chrono::seconds(1));
  }
}

// The real outputs: on a machine with sound they open, on one without (CI) they fail with 6.
// Either way nothing is printed.
TEST(FluidSynthDevice, DefaultOutputsOpenOrFailQuietly) {
  if (!InstalledFluidFonts()) GTEST_SKIP() << "FluidR3 SoundFonts are not installed";
  FluidSynthBackend backend;
  ASSERT_EQ(backend.portNames().size(), 1u);
  StderrCapture capture;
  const OpenResult result = backend.open(0);
  EXPECT_EQ(capture.finish(), "");
  EXPECT_TRUE(result.status == OpenStatus::kOpened || result.status == OpenStatus::kNoDriver)
      << static_cast<int>(result.status);
  EXPECT_EQ(result.connection != nullptr, result.status == OpenStatus::kOpened);
}

TEST(FluidSynthDevice, FontThatDoesNotLoadIsAnError) {
  TempFolder folder;
  WriteFakeFont(folder, "FluidR3_GM.sf2");
  FluidSynthBackend backend(FluidSynthOptions{{folder.path()}, NullAudio()});
  ASSERT_EQ(backend.portNames().size(), 1u);
  StderrCapture capture;
  EXPECT_EQ(backend.open(0).status, OpenStatus::kFailed);
  EXPECT_EQ(capture.finish(), "");

  fs::remove(folder.path() / "FluidR3_GM.sf2");  // listed, then uninstalled
  EXPECT_EQ(backend.open(0).status, OpenStatus::kFailed);
}

struct Silence final : AudioSource {
  void render(std::span<float> left, std::span<float> right) override {
    std::fill(left.begin(), left.end(), 0.0F);
    std::fill(right.begin(), right.end(), 0.0F);
  }
};

// A desktop whose sound goes through PulseAudio may run PipeWire for video alone: the synth's
// own PipeWire stream gives way there, at once and each time, for the outputs after it.
TEST(FluidSynthDevice, PipeWireWithoutASinkIsPassedOver) {
  PulseTestServer server(PulseTestServer::Kind::kPipeWireForVideo);
  ASSERT_TRUE(server.start()) << server.log();
  Silence silence;
  for (int attempt = 0; attempt < 2; ++attempt) {
    StderrCapture capture;
    EXPECT_EQ(PipeWireOutput::open(silence, std::chrono::seconds(5), 256), nullptr);
    EXPECT_EQ(capture.finish(), "");
  }
}

// A server that ends under the stream (a desktop's PipeWire restarted): the stream says so, and
// the synth's next note opens a new one.
TEST(FluidSynthDevice, PipeWireStreamSaysWhenItsServerHasGone) {
  auto server = std::make_unique<PulseTestServer>(PulseTestServer::Kind::kPipeWire);
  ASSERT_TRUE(server->start()) << server->log();
  Silence silence;
  const auto stream = PipeWireOutput::open(silence, std::chrono::seconds(5), 256);
  ASSERT_NE(stream, nullptr);
  EXPECT_TRUE(stream->playing());
  server.reset();
  EXPECT_TRUE(Eventually([&] { return !stream->playing(); }, std::chrono::seconds(5)));
  // The connection kept for the next stream went with that server: a new one reaches the next.
  server = std::make_unique<PulseTestServer>(PulseTestServer::Kind::kPipeWire);
  ASSERT_TRUE(server->start()) << server->log();
  const auto next = PipeWireOutput::open(silence, std::chrono::seconds(5), 256);
  ASSERT_NE(next, nullptr);
  EXPECT_TRUE(next->playing());
}

TEST(FluidSynthDevice, DefaultOutputsAreLowLatencyAndNeverJack) {
  auto core = SynthCore::create();
  ASSERT_NE(core, nullptr);
  for (const auto& output : DefaultSynthAudioOutputs()) {
    SCOPED_TRACE(output.driver);
    EXPECT_NE(output.driver, "jack");
    int periodSize = 0, periods = 0;
    fluid_settings_getint(core->settings(), "audio.period-size", &periodSize);
    fluid_settings_getint(core->settings(), "audio.periods", &periods);
    for (const auto& [name, value] : output.settings) {
      ASSERT_NE(fluid_settings_get_type(core->settings(), name.c_str()), FLUID_NO_TYPE) << name;
      if (name == "audio.period-size") periodSize = std::stoi(value);
      if (name == "audio.periods") periods = std::stoi(value);
    }
    // The synth's own stream on PulseAudio starts with its own request; FluidSynth's PulseAudio
    // driver asks for one period as its whole buffer, and so does the PipeWire stream (as the
    // graph's quantum); ALSA plays all of them.
    int bufferFrames = output.driver == "pulseaudio" || output.driver == kPipeWireStreamOutput
                           ? periodSize
                           : periodSize * periods;
    if (output.driver == kPulseStreamOutput) {
      bufferFrames = static_cast<int>(PulseOutput::requestedFrames());
    }
    EXPECT_LE(Milliseconds(bufferFrames), 8.0);
  }
}

}  // namespace
}  // namespace kalvora::test
