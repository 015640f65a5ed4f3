// The whole program's life, twice, as an unprivileged user whose settings file lies in a folder
// that takes no new file: what one run saves, the next start reads.
#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>
#include <string>

#include "app/form1.h"
#include "play/voice_state.h"
#include "support/as_nobody.h"
#include "support/recording_session.h"
#include "support/temp_folder.h"

namespace kalvora {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::WriteBytes;

const std::string kStored =
    "[window]\r\nHeight=600\r\nWidth=800\r\nTop=10\r\nLeft=20\r\n\r\n[dev]\r\nmap=3\r\n\r\n";

class SettingsNextStart : public ::testing::Test {
 protected:
  // The program's folder takes no new file; the user's own folder takes anything.
  void lock(fs::perms fileRights) {
    fs::create_directory(dir_ / "app");
    WriteBytes(dir_ / "app" / "kalvora.ini", kStored);
    fs::permissions(dir_ / "app" / "kalvora.ini", fileRights);
    fs::permissions(dir_ / "app", static_cast<fs::perms>(0555));
    fs::create_directory(dir_ / "home");
    fs::permissions(dir_ / "home", fs::perms::all);
  }
  fs::path beside() const { return dir_ / "app" / "kalvora.ini"; }
  fs::path inUserFolder() const { return dir_ / "home" / "kalvora" / "kalvora.ini"; }

  // One start and close: "map=<read at start>" and a line per message shown.
  std::string run(int mapToStore) {
    const auto run = test::RunAsNobody([&] {
      qputenv("QT_QPA_PLATFORM", "offscreen");
      const fs::path runtime = dir_ / "home" / "runtime";
      fs::create_directory(runtime);
      fs::permissions(runtime, fs::perms::owner_all);
      qputenv("XDG_RUNTIME_DIR", runtime.string().c_str());
      int argc = 1;
      char name[] = "kalvora";
      char* argv[] = {name, nullptr};
      QApplication app(argc, argv);
      test::RecordingSession session;
      std::string seen;
      {
        TForm1 form;
        form.setExecutablePath((dir_ / "app" / "kalvora").string());
        form.setSettingsFallbackFolder((dir_ / "home" / "kalvora").string());
        form.FormCreate();
        seen = "map=" + std::to_string(MapIndex);
        MapIndex = mapToStore;
        form.FormClose();
      }
      for (const auto& message : session.messages()) seen += "\n" + message;
      return seen;
    });
    EXPECT_TRUE(run.ran) << run.output;
    return run.output;
  }

  test::TempFolder dir_{test::TempFolder::Reach::kOthersMayEnter};
};

TEST_F(SettingsNextStart, AWritableFileIsRewrittenWhereItIs) {
  lock(static_cast<fs::perms>(0666));
  EXPECT_EQ(run(1), "map=3");
  EXPECT_EQ(run(2), "map=1");
  EXPECT_NE(ReadBytes(beside()).find("map=2\r\n"), std::string::npos);
  EXPECT_FALSE(fs::exists(inUserFolder()));
}

TEST_F(SettingsNextStart, AFileThatTakesNoWritesIsReplacedByOneInTheUserFolderSaidOnce) {
  lock(static_cast<fs::perms>(0444));
  const std::string first = run(1);
  EXPECT_EQ(first.substr(0, first.find('\n')), "map=3");
  EXPECT_NE(first.find("設定ファイルを書き込めません"), std::string::npos) << first;
  EXPECT_NE(first.find(inUserFolder().string()), std::string::npos) << first;
  EXPECT_EQ(run(2), "map=1");  // read from the user's folder, and nothing more to say
  EXPECT_EQ(run(4), "map=2");
  EXPECT_EQ(ReadBytes(beside()), kStored);
}

}  // namespace
}  // namespace kalvora
