// FileReplacement: temporary file, fsync, rename.

#include "problem/FileReplacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace tandor {

namespace {

// The file a write replaces: a symbolic link is followed, so the link stays a link.
std::string ResolvedTarget(const std::string &path) {
  char resolved[PATH_MAX];
  struct stat info {};
  if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
      realpath(path.c_str(), resolved) != nullptr)
    return resolved;
  return path;
}

mode_t ModeForNewFile(const std::string &target) {
  struct stat info {};
  if (stat(target.c_str(), &info) == 0)
    return info.st_mode & 07777;
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

} // namespace

FileReplacement::FileReplacement(std::string path)
    : GivenPath(std::move(path)), Target(ResolvedTarget(GivenPath)),
      TemporaryName(Target + ".XXXXXX"), Mode(ModeForNewFile(Target)) {
  Fd = mkstemp(TemporaryName.data());
  if (Fd < 0)
    Fail(errno);
}

FileReplacement::~FileReplacement() {
  if (Fd >= 0)
    close(Fd);
  if (!Committed)
    unlink(TemporaryName.c_str());
}

void FileReplacement::Fail(int error) const {
  throw FileError(GivenPath, std::strerror(error));
}

void FileReplacement::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(Fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR)
        continue;
      Fail(errno);
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

void FileReplacement::Commit() {
  if (fchmod(Fd, Mode) != 0 || fsync(Fd) != 0)
    Fail(errno);
  const int fd = Fd;
  Fd = -1;
  if (close(fd) != 0)
    Fail(errno);
  if (rename(TemporaryName.c_str(), Target.c_str()) != 0)
    Fail(errno);
  Committed = true;
}

void ReplaceFileContents(const std::string &path, std::string_view bytes) {
  FileReplacement file(path);
  file.Write(bytes);
  file.Commit();
}

} // namespace tandor
