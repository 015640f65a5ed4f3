// Naming the settings file after the executable, and choosing its folder.
#include "app/settings/settings_location.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace kalvora {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

TEST(SettingsLocation, ReplacesTheExtensionOfTheFileNameOnly) {
  const struct {
    const char* executable;
    const char* settings;
  } cases[] = {
      {"/usr/local/bin/kalvora", "/usr/local/bin/kalvora.ini"},
      {"/a.b/kalvora", "/a.b/kalvora.ini"},
      {"x.exe", "x.ini"},
      {"/opt/k/x.tar.gz", "/opt/k/x.tar.ini"},
      {"/opt/k/x.", "/opt/k/x.ini"},
      {"/opt/k/.kalvora", "/opt/k/.ini"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SettingsPathBeside(c.executable), fs::path(c.settings)) << c.executable;
  }
}

TEST(SettingsLocation, UsesTheFolderOfTheExecutableWhenItTakesAFile) {
  TempFolder dir;
  const SettingsLocation where = ChooseSettingsLocation(dir / "kalvora", dir / "fallback");
  EXPECT_EQ(where.path, dir / "kalvora.ini");
  EXPECT_TRUE(where.besideExecutable);
  EXPECT_TRUE(dir.entries().empty());  // the probe is gone, no fallback folder made
}

TEST(SettingsLocation, UsesAnExistingFileBesideTheExecutableUntouched) {
  TempFolder dir;
  WriteBytes(dir / "kalvora.ini", "[dev]\r\nmap=2\r\n");
  const SettingsLocation where = ChooseSettingsLocation(dir / "kalvora", dir / "fallback");
  EXPECT_EQ(where.path, dir / "kalvora.ini");
  EXPECT_EQ(ReadBytes(where.path), "[dev]\r\nmap=2\r\n");
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"kalvora.ini"});
}

TEST(SettingsLocation, FallsBackWhenNoFileCanBeCreatedBesideTheExecutable) {
  TempFolder dir;
  // A file where the executable's folder would be: nothing can be created inside it.
  WriteBytes(dir / "bin", "not a folder");
  const fs::path fallback = dir / "config" / "kalvora";
  const SettingsLocation where = ChooseSettingsLocation(dir / "bin" / "kalvora.exe", fallback);
  EXPECT_EQ(where.path, fallback / "kalvora.ini");
  EXPECT_FALSE(where.besideExecutable);
  EXPECT_TRUE(fs::is_directory(fallback));
}

}  // namespace
}  // namespace kalvora
