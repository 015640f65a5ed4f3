#include "app/settings/durable_write.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace kalvora {

namespace {

std::error_code LastError() { return {errno, std::generic_category()}; }

using ChunkSize = std::size_t;
constexpr ChunkSize kMaxChunk = std::size_t{1} << 30;
constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask, like any new file

int OpenNew(const std::filesystem::path& path) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
}
long WriteSome(int fd, const char* data, ChunkSize n) { return ::write(fd, data, n); }
int OpenExisting(const std::filesystem::path& path) {
  return ::open(path.c_str(), O_RDWR | O_CLOEXEC);
}
long ReadSome(int fd, char* data, ChunkSize n) { return ::read(fd, data, n); }
bool Rewind(int fd) { return ::lseek(fd, 0, SEEK_SET) == 0; }
int Cut(int fd, std::size_t length) { return ::ftruncate(fd, static_cast<off_t>(length)); }
int SyncFile(int fd) { return ::fsync(fd); }
int CloseFile(int fd) { return ::close(fd); }

std::error_code WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const auto chunk = static_cast<ChunkSize>(bytes.size() < kMaxChunk ? bytes.size() : kMaxChunk);
    const long written = WriteSome(fd, bytes.data(), chunk);
    if (written < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    if (written == 0) {  // no progress and no reason given: treat it as a full disk
      return std::make_error_code(std::errc::no_space_on_device);
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return {};
}

// The whole content from the current offset on; false on a read error.
bool ReadAll(int fd, std::string& content) {
  char buffer[4096];
  for (;;) {
    const long got = ReadSome(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    content.append(buffer, static_cast<std::size_t>(got));
  }
}

// Overwrites from the start and cuts to the written length.
std::error_code Overwrite(int fd, std::string_view bytes) {
  if (!Rewind(fd)) return LastError();
  if (const std::error_code error = WriteAll(fd, bytes)) return error;
  return Cut(fd, bytes.size()) == 0 ? std::error_code{} : LastError();
}

}  // namespace

std::error_code WriteNewFileDurably(const std::filesystem::path& path, std::string_view bytes) {
  const int fd = OpenNew(path);
  if (fd < 0) return LastError();

  std::error_code error = WriteAll(fd, bytes);
  if (!error && SyncFile(fd) != 0) error = LastError();
  // A failed close can be the first report of a failed write (network file systems).
  if (CloseFile(fd) != 0 && !error) error = LastError();
  return error;
}

std::error_code RewriteInPlace(const std::filesystem::path& path, std::string_view bytes) {
  const int fd = OpenExisting(path);
  if (fd < 0) return LastError();
  std::string old;
  std::error_code error;
  if (!ReadAll(fd, old)) {
    error = LastError();
  } else {
    error = Overwrite(fd, bytes);
    // Most often the old bytes fit where they were, even when the new ones did not.
    if (error) (void)Overwrite(fd, old);
  }
  if (SyncFile(fd) != 0 && !error) error = LastError();
  if (CloseFile(fd) != 0 && !error) error = LastError();
  return error;
}

bool FileTakesWrites(const std::filesystem::path& path) {
  const int fd = OpenExisting(path);
  if (fd < 0) return false;
  (void)CloseFile(fd);
  return true;
}

void SyncFolder(const std::filesystem::path& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  (void)::close(fd);
}

}  // namespace kalvora
