// Loading and saving the settings file on disk: the three load outcomes and the atomic save.
#include "app/settings/settings_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/settings/settings_load.h"
#include "app/settings/settings_save.h"
#include "support/temp_folder.h"

namespace kalvora {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

const std::string kOldFile = "[window]\r\nHeight=700\r\n\r\n[keep]\r\nx=1\r\n\r\n";

TEST(SettingsLoad, MissingFileGivesEmptySettingsAndIsSavedAtClose) {
  TempFolder dir;
  SettingsFile settings(dir / "kalvora.ini");
  EXPECT_EQ(settings.readInteger("window", "Height", 664), 664);
  ASSERT_TRUE(settings.maySave());
  settings.writeInteger("dev", "map", 4);
  const FileResult saved = settings.save();
  ASSERT_TRUE(saved) << saved.error;
  EXPECT_EQ(ReadBytes(dir / "kalvora.ini"), "[dev]\r\nmap=4\r\n\r\n");
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"kalvora.ini"});
}

TEST(SettingsLoad, ExistingFileIsReadAndItsOtherSectionsSurviveTheSave) {
  TempFolder dir;
  WriteBytes(dir / "kalvora.ini", kOldFile);
  SettingsFile settings(dir / "kalvora.ini");
  EXPECT_EQ(settings.readInteger("WINDOW", "height", 664), 700);
  settings.writeInteger("window", "Height", 500);
  ASSERT_TRUE(settings.save());
  EXPECT_EQ(ReadBytes(dir / "kalvora.ini"), "[window]\r\nHeight=500\r\n\r\n[keep]\r\nx=1\r\n\r\n");
}

TEST(SettingsLoad, SomethingUnreadableIsReportedAndNeverOverwritten) {
  TempFolder dir;
  const fs::path folderInTheWay = dir / "kalvora.ini";
  fs::create_directory(folderInTheWay);
  WriteBytes(folderInTheWay / "inside", "x");

  SettingsFile settings(folderInTheWay);
  EXPECT_FALSE(settings.maySave());
  EXPECT_EQ(settings.readInteger("window", "Height", 664), 664);

  settings.writeInteger("window", "Height", 1);
  const FileResult saved = settings.save();
  EXPECT_FALSE(saved);
  EXPECT_FALSE(saved.error.empty());
  EXPECT_TRUE(fs::is_directory(folderInTheWay));
  EXPECT_EQ(ReadBytes(folderInTheWay / "inside"), "x");
}

TEST(SettingsLoad, AFileFarTooLargeIsUnreadable) {
  TempFolder dir;
  const fs::path path = dir / "kalvora.ini";
  WriteBytes(path, "[window]\r\nHeight=1\r\n");
  fs::resize_file(path, kMaxSettingsFileBytes + 1);  // sparse: costs no disk
  EXPECT_EQ(LoadSettingsFile(path).status, SettingsLoadStatus::kUnreadable);
  fs::resize_file(path, kMaxSettingsFileBytes);
  EXPECT_EQ(LoadSettingsFile(path).status, SettingsLoadStatus::kLoaded);
}

TEST(SettingsSave, AFailedWriteLeavesTheOldFileAndNoTemporaryFile) {
  TempFolder dir;
  const fs::path path = dir / "kalvora.ini";
  WriteBytes(path, kOldFile);

  fs::path tempUsed;
  // Gets half the text onto the disk, then runs out of space.
  const FileWriter fullDisk = [&](const fs::path& temp, std::string_view bytes) {
    tempUsed = temp;
    WriteBytes(temp, std::string(bytes.substr(0, bytes.size() / 2)));
    return std::make_error_code(std::errc::no_space_on_device);
  };
  const FileResult saved = SaveSettingsFile(path, "[window]\r\nHeight=1\r\n\r\n", fullDisk);

  EXPECT_FALSE(saved);
  EXPECT_NE(saved.error.find(std::make_error_code(std::errc::no_space_on_device).message()),
            std::string::npos)
      << saved.error;
  EXPECT_EQ(tempUsed.parent_path(), path.parent_path());  // same folder: the rename is atomic
  EXPECT_NE(tempUsed, path);
  EXPECT_EQ(ReadBytes(path), kOldFile);
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"kalvora.ini"});
}

TEST(SettingsSave, FailsWithoutThrowingWhenTheFolderIsMissing) {
  TempFolder dir;
  const FileResult saved = SaveSettingsFile(dir / "no" / "such" / "kalvora.ini", "[a]\r\n\r\n");
  EXPECT_FALSE(saved);
  EXPECT_FALSE(saved.error.empty());
  EXPECT_TRUE(dir.entries().empty());
}

TEST(SettingsSave, AFolderInTheWayOfTheRenameStaysAndNoTemporaryFileIsLeft) {
  TempFolder dir;
  const fs::path path = dir / "kalvora.ini";
  fs::create_directory(path);
  WriteBytes(path / "inside", "x");
  const FileResult saved = SaveSettingsFile(path, "[a]\r\n\r\n");
  EXPECT_FALSE(saved);
  EXPECT_EQ(ReadBytes(path / "inside"), "x");
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"kalvora.ini"});
}

TEST(SettingsSave, KeepsTheFilesPermissionsAndFollowsASymbolicLink) {
  TempFolder dir;
  const fs::path real = dir / "real.ini";
  const fs::path link = dir / "kalvora.ini";
  WriteBytes(real, kOldFile);
  constexpr auto kOwnerOnly = fs::perms::owner_read | fs::perms::owner_write;
  fs::permissions(real, kOwnerOnly);
  fs::create_symlink("real.ini", link);

  ASSERT_TRUE(SaveSettingsFile(link, "[a]\r\n\r\n"));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadBytes(real), "[a]\r\n\r\n");
  EXPECT_EQ(fs::status(real).permissions(), kOwnerOnly);
  EXPECT_EQ(dir.entries().size(), 2u);
}

}  // namespace
}  // namespace kalvora
