// Saving into a folder that takes no new file, run as an unprivileged user: the file is rewritten
// in place, and a write that fails half way leaves the old content.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/settings/settings_save.h"
#include "support/as_nobody.h"
#include "support/temp_folder.h"

namespace kalvora {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::RunAsNobody;
using test::TempFolder;
using test::WriteBytes;

const std::string kOld = "[window]\r\nHeight=700\r\n\r\n[keep]\r\nx=1\r\n\r\n";
const std::string kNew =
    "[window]\r\nHeight=640\r\nWidth=800\r\nTop=10\r\nLeft=20\r\n\r\n[keep]\r\nx=1\r\n\r\n";

constexpr auto kReadOnlyFolder = static_cast<fs::perms>(0555);
constexpr auto kWritableByAll = static_cast<fs::perms>(0666);

// A folder that takes no new file for anyone but root, holding kalvora.ini with these rights.
fs::path LockedFolderWith(const TempFolder& dir, fs::perms fileRights) {
  const fs::path folder = dir / "app";
  fs::create_directory(folder);
  WriteBytes(folder / "kalvora.ini", kOld);
  fs::permissions(folder / "kalvora.ini", fileRights);
  fs::permissions(folder, kReadOnlyFolder);
  return folder / "kalvora.ini";
}

std::string Outcome(const FileResult& saved) { return saved ? "saved" : saved.error; }

TEST(SettingsUnwritable, AWritableFileInAFolderThatTakesNoNewFileIsRewrittenInPlace) {
  TempFolder dir(TempFolder::Reach::kOthersMayEnter);
  const fs::path path = LockedFolderWith(dir, kWritableByAll);
  const auto run = RunAsNobody([&] { return Outcome(SaveSettingsFile(path, kNew)); });
  ASSERT_TRUE(run.ran) << run.output;
  EXPECT_EQ(run.output, "saved");
  EXPECT_EQ(ReadBytes(path), kNew);
  EXPECT_EQ(fs::status(path).permissions(), kWritableByAll);
  // Shorter content leaves no tail of the old.
  ASSERT_TRUE(RunAsNobody([&] { return Outcome(SaveSettingsFile(path, kOld)); }).ran);
  EXPECT_EQ(ReadBytes(path), kOld);
  EXPECT_EQ(std::distance(fs::directory_iterator(path.parent_path()), fs::directory_iterator()), 1);
}

TEST(SettingsUnwritable, AnInPlaceRewriteThatFailsHalfWayPutsTheOldContentBack) {
  TempFolder dir(TempFolder::Reach::kOthersMayEnter);
  const fs::path path = LockedFolderWith(dir, kWritableByAll);
  // The disk takes a few bytes more than the old file, not the whole new one.
  const auto run = RunAsNobody([&] { return Outcome(SaveSettingsFile(path, kNew)); },
                               static_cast<off_t>(kOld.size() + 5));
  ASSERT_TRUE(run.ran) << run.output;
  EXPECT_NE(run.output, "saved");
  EXPECT_EQ(ReadBytes(path), kOld);
}

}  // namespace
}  // namespace kalvora
