#pragma once
// Writing a file so that no one ever sees it half-written: the bytes go into a temporary file
// beside the target, which is synced and then renamed over the target. The data file and the
// outputs of tandor-cli are written this way.

#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace tandor {

// A file that could not be read or written: which file, and why.
class FileError : public std::runtime_error {
public:
  FileError(const std::string &path, const std::string &reason)
      : std::runtime_error(path + ": " + reason), Path(path), Reason(reason) {}
  std::string Path;
  std::string Reason;
};

// One replacement of the file at a path. Until Commit has succeeded the target keeps what it
// held; a replacement that goes without a commit (a failure, an exception on the way) removes
// its temporary file. A symbolic link is followed, so the link stays a link, and an existing
// target's permissions pass to its replacement. Every failure throws FileError naming the path
// as given.
class FileReplacement {
public:
  explicit FileReplacement(std::string path);
  ~FileReplacement();
  FileReplacement(const FileReplacement &) = delete;
  FileReplacement &operator=(const FileReplacement &) = delete;

  void Write(std::string_view bytes);
  // For writers that want a descriptor of their own; it stays owned by the replacement.
  int Descriptor() const { return Fd; }
  const std::string &Path() const { return GivenPath; }
  // Syncs, closes and renames over the target.
  void Commit();

private:
  [[noreturn]] void Fail(int error) const;

  std::string GivenPath, Target, TemporaryName;
  mode_t Mode = 0;
  int Fd = -1;
  bool Committed = false;
};

// The whole content at once.
void ReplaceFileContents(const std::string &path, std::string_view bytes);

} // namespace tandor
