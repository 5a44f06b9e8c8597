#pragma once
// The data file: the thirteen lines of a problem, each ended by CR LF. No dialogs here; the
// window and tandor-cli choose the path and show the error.

#include <cstddef>
#include <string>

#include "problem/FileReplacement.h"
#include "problem/Glob.h"

namespace tandor {

using DataFileError = FileError;

// Larger files are refused unread: a problem is thirteen short lines.
inline constexpr std::size_t MaxDataFileSize = 1 << 20;

// Writes a temporary file beside path and renames it over path, so a failed write leaves the
// old file as it was. Throws DataFileError.
void WriteDataFile(const std::string &path, const DataLineArray &lines);

// The first thirteen lines (LF or CR LF endings; further lines are ignored). Throws
// DataFileError for a missing or unreadable file, a folder, a file that is too large, a binary
// file or one of fewer than thirteen lines.
DataLineArray ReadDataFile(const std::string &path);

} // namespace tandor
