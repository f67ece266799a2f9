#pragma once
// Splitting a path into drive, directory, file name and extension, and
// joining such parts again, with fixed part sizes. Both '/' and '\\' separate
// directories, and "X:" at the start is a drive, so names written for either
// kind of system split the same way; and the output path derived from an
// input path when the command line names no output file.

#include <cstddef>

namespace png2zeq {

// Part sizes including the terminating NUL.
inline constexpr size_t kDriveSize = 3;        // "C:"
inline constexpr size_t kDirectorySize = 256;  // longest directory: 255 characters
inline constexpr size_t kFileNameSize = 256;   // longest file name: 255 characters
inline constexpr size_t kJoinedPathSize = 260; // longest joined path: 259 characters

struct PathParts {
  char drive[kDriveSize];
  char directory[kDirectorySize];
  char fileName[kFileNameSize];
  // Start of the extension (from its dot) inside the split path, or of its
  // terminating NUL when there is none; not copied since nothing keeps it.
  const char* extension;
};

// Splits `path`: the drive is the first two characters when the second is
// ':'; the directory runs up to and including the last '/' or '\\'; the file
// name runs up to, not including, the last '.' after the directory; the rest
// is the extension. Returns false, leaving `parts` unspecified, when the
// directory or the file name has more than 255 characters.
bool SplitPath(const char* path, PathParts& parts);

// Splits `path` as SplitPath does but keeps only its file name and
// extension, leaving drive and directory empty whatever their length.
// Returns false when the file name has more than 255 characters.
bool SplitFileName(const char* path, PathParts& parts);

// Joins drive, directory (a separator is added when it lacks one), file name
// and extension ('.' is added when it lacks one) into `out` of `outSize`
// bytes. Returns false, leaving `out` empty, when the result does not fit.
bool JoinPath(char* out, size_t outSize, const char* drive, const char* directory,
              const char* fileName, const char* extension);

// Where a tool's output goes when the command line does not name a file:
// settles the output path for `inputPath` and the -output value `outputPath`
// (null when not given): an -output value with a file name is used as it is;
// one without (ending in a separator) names the directory for the input's
// file name with `extension`; no -output puts that name beside the input. A
// derived name is built in `buffer`. The input path is split only when its
// name is needed, and only its file name when -output names a directory.
// Returns false, leaving `*resultPath` unchanged, when a part or the joined
// name is too long; otherwise true with `*resultPath` set.
bool DeriveSiblingPath(const char* inputPath, const char* outputPath, const char* extension,
                       char (&buffer)[kJoinedPathSize], const char** resultPath);

}  // namespace png2zeq
