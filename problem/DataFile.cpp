#include "problem/DataFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace tandor {

namespace {

std::string SystemReason(int error) {
  return std::strerror(error);
}

// Closes the descriptor and, unless released, removes the temporary file it was made for.
class TemporaryFile {
public:
  explicit TemporaryFile(std::string target) : Name(std::move(target) + ".XXXXXX") {
    Descriptor = mkstemp(Name.data());
  }
  ~TemporaryFile() {
    if (Descriptor >= 0)
      close(Descriptor);
    if (!Released && Descriptor != -2)
      unlink(Name.c_str());
  }
  TemporaryFile(const TemporaryFile &) = delete;
  TemporaryFile &operator=(const TemporaryFile &) = delete;

  std::string Name;
  int Descriptor = -1;
  bool Released = false;
};

bool WriteAll(int fd, const std::string &text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// The file a save replaces: a symbolic link is followed, so the link stays a link.
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

std::string ReadWholeFile(const std::string &path) {
  // Without O_NONBLOCK a named pipe would hold the open until some writer appeared; a regular
  // file reads the same either way.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0)
    throw DataFileError(path, SystemReason(errno));
  struct FdCloser {
    int fd;
    ~FdCloser() { close(fd); }
  } closer{fd};
  struct stat info {};
  if (fstat(fd, &info) != 0)
    throw DataFileError(path, SystemReason(errno));
  if (S_ISDIR(info.st_mode))
    throw DataFileError(path, "it is a folder, not a data file");
  if (!S_ISREG(info.st_mode))
    throw DataFileError(path, "it is not a regular file");
  if (static_cast<std::size_t>(info.st_size) > MaxDataFileSize)
    throw DataFileError(path, "the file is too large to be a data file");
  std::string content;
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      throw DataFileError(path, SystemReason(errno));
    }
    if (n == 0)
      break;
    content.append(buffer, static_cast<std::size_t>(n));
    // The file may grow while it is read.
    if (content.size() > MaxDataFileSize)
      throw DataFileError(path, "the file is too large to be a data file");
  }
  return content;
}

} // namespace

void WriteDataFile(const std::string &path, const DataLineArray &lines) {
  std::string text;
  for (const std::string &line : lines) {
    text += line;
    text += "\r\n";
  }
  const std::string target = ResolvedTarget(path);
  const mode_t mode = ModeForNewFile(target);
  TemporaryFile temporary(target);
  if (temporary.Descriptor < 0) {
    const int error = errno;
    temporary.Descriptor = -2; // nothing was created, nothing to remove
    throw DataFileError(path, SystemReason(error));
  }
  if (!WriteAll(temporary.Descriptor, text) || fchmod(temporary.Descriptor, mode) != 0 ||
      fsync(temporary.Descriptor) != 0)
    throw DataFileError(path, SystemReason(errno));
  const int fd = temporary.Descriptor;
  temporary.Descriptor = -1;
  if (close(fd) != 0)
    throw DataFileError(path, SystemReason(errno));
  if (rename(temporary.Name.c_str(), target.c_str()) != 0)
    throw DataFileError(path, SystemReason(errno));
  temporary.Released = true;
}

DataLineArray ReadDataFile(const std::string &path) {
  const std::string content = ReadWholeFile(path);
  if (content.find('\0') != std::string::npos)
    throw DataFileError(path, "it is a binary file, not a data file");
  DataLineArray lines;
  // Some editors begin a UTF-8 file with a byte-order mark; it is no part of the first formula.
  constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";
  std::size_t count = 0;
  std::size_t start = content.starts_with(ByteOrderMark) ? ByteOrderMark.size() : 0;
  while (count < lines.size() && start < content.size()) {
    std::size_t end = content.find('\n', start);
    const std::size_t next = end == std::string::npos ? content.size() : end + 1;
    if (end == std::string::npos)
      end = content.size();
    if (end > start && content[end - 1] == '\r')
      --end;
    lines[count++] = content.substr(start, end - start);
    start = next;
  }
  if (count < lines.size())
    throw DataFileError(path, "it has " + std::to_string(count) +
                                  (count == 1 ? " line" : " lines") + "; a data file has 13");
  return lines;
}

} // namespace tandor
