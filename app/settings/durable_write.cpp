#include "app/settings/durable_write.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

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
int SyncFile(int fd) { return ::fsync(fd); }
int CloseFile(int fd) { return ::close(fd); }

}  // namespace

std::error_code WriteNewFileDurably(const std::filesystem::path& path, std::string_view bytes) {
  const int fd = OpenNew(path);
  if (fd < 0) return LastError();

  std::error_code error;
  while (!bytes.empty()) {
    const auto chunk = static_cast<ChunkSize>(bytes.size() < kMaxChunk ? bytes.size() : kMaxChunk);
    const long written = WriteSome(fd, bytes.data(), chunk);
    if (written < 0) {
      if (errno == EINTR) continue;
      error = LastError();
      break;
    }
    if (written == 0) {  // no progress and no reason given: treat it as a full disk
      error = std::make_error_code(std::errc::no_space_on_device);
      break;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  if (!error && SyncFile(fd) != 0) error = LastError();
  // A failed close can be the first report of a failed write (network file systems).
  if (CloseFile(fd) != 0 && !error) error = LastError();
  return error;
}

void SyncFolder(const std::filesystem::path& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  (void)::fsync(fd);
  (void)::close(fd);
}

}  // namespace kalvora
