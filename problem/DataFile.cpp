// ReadDataFile and WriteDataFile: the thirteen lines from and to a file, checked on the way in.

#include "problem/DataFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>

namespace tandor {

namespace {

std::string SystemReason(int error) {
  return std::strerror(error);
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
  ReplaceFileContents(path, text);
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
