#include "common/path_parts.h"

#include <gtest/gtest.h>

#include <string>

namespace png2zeq {
namespace {

// Which way a case goes: the parts SplitPath gives for the path, or the path
// JoinPath makes of the parts.
enum Way { kSplit, kJoin };

struct PathCase {
  const char* path;
  const char* drive;
  const char* directory;
  const char* fileName;
  const char* extension;
  Way way;
};

const PathCase kPathCases[] = {
    {"photo.png", "", "", "photo", ".png", kSplit},
    {"C:\\pics\\photo.png", "C:", "\\pics\\", "photo", ".png", kSplit},
    {"C:photo.png", "C:", "", "photo", ".png", kSplit},
    {"C:", "C:", "", "", "", kSplit},
    {"/home/me/logo.png", "", "/home/me/", "logo", ".png", kSplit},
    {"a/b\\c.d", "", "a/b\\", "c", ".d", kSplit},
    {"a\\b/c", "", "a\\b/", "c", "", kSplit},
    {"dir/", "", "dir/", "", "", kSplit},
    {"", "", "", "", "", kSplit},
    // Only a dot after the directory starts the extension.
    {"dir.v2/file", "", "dir.v2/", "file", "", kSplit},
    {"C:\\dir.v2\\file", "C:", "\\dir.v2\\", "file", "", kSplit},
    // Several dots: only the last one counts.
    {"archive.tar.gz", "", "", "archive.tar", ".gz", kSplit},
    {"a.b.c.", "", "", "a.b.c", ".", kSplit},
    // Dotfiles have an empty file name.
    {".profile", "", "", "", ".profile", kSplit},
    {"out/.zeq", "", "out/", "", ".zeq", kSplit},
    {"..", "", "", ".", ".", kSplit},
    // Only a colon in second place makes a drive.
    {"a:b:c.x", "a:", "", "b:c", ".x", kSplit},
    {"ab:c", "", "", "ab:c", "", kSplit},
    {"C", "", "", "C", "", kSplit},
    // Joining adds a separator and a dot where they are missing.
    {"C:\\out\\photo.zeq", "C:", "\\out\\", "photo", "zeq", kJoin},
    {"photo.zeq", "", "", "photo", "zeq", kJoin},
    {"C:photo.zeq", "C:", "", "photo", "zeq", kJoin},
    {"out/photo.zeq", "", "out/", "photo", ".zeq", kJoin},
    {"out/photo.zeq", "", "out", "photo", "zeq", kJoin},
    {"photo", "", "", "photo", "", kJoin},
    {".zeq", "", "", "", "zeq", kJoin},
    {"/a/b/archive.tar.zeq", "", "/a/b/", "archive.tar", "zeq", kJoin},
};

TEST(SplitPath, SeparatesDriveDirectoryNameAndExtension) {
  for (const PathCase& c : kPathCases) {
    if (c.way != kSplit) continue;
    SCOPED_TRACE(c.path);
    PathParts parts;
    ASSERT_TRUE(SplitPath(c.path, parts));
    EXPECT_STREQ(parts.drive, c.drive);
    EXPECT_STREQ(parts.directory, c.directory);
    EXPECT_STREQ(parts.fileName, c.fileName);
    EXPECT_STREQ(parts.extension, c.extension);
  }
}

std::string Repeat(const std::string& text, int times) {
  std::string result;
  for (int i = 0; i < times; ++i) result += text;
  return result;
}

struct SplitLengthCase {
  const char* what;
  std::string path;
  bool fits;
};

TEST(SplitPath, RefusesDirectoryOrNameOfMoreThan255Characters) {
  const std::string dir254 = std::string(254, 'd');
  const std::string dir255 = std::string(255, 'd');
  const SplitLengthCase cases[] = {
      {"directory 255", dir254 + "/x.png", true},
      {"directory 256", dir255 + "/x.png", false},
      {"directory 255 after a drive", "C:" + dir254 + "\\x.png", true},
      {"directory 256 after a drive", "C:" + dir255 + "\\x.png", false},
      {"directory of many short parts, 255", "/" + Repeat("a/", 127) + "x", true},
      {"directory of many short parts, 256", Repeat("a/", 128) + "x", false},
      {"file name 255", std::string(255, 'n'), true},
      {"file name 256", std::string(256, 'n'), false},
      {"file name 255, extension not counted", std::string(255, 'n') + "." + std::string(300, 'e'),
       true},
      {"file name 256 with extension", std::string(256, 'n') + ".png", false},
      {"both 255", dir254 + "/" + std::string(255, 'n') + ".png", true},
  };
  for (const SplitLengthCase& c : cases) {
    SCOPED_TRACE(c.what);
    PathParts parts;
    EXPECT_EQ(SplitPath(c.path.c_str(), parts), c.fits);
  }
}

TEST(JoinPath, JoinsPartsAddingSeparatorAndDotWhereMissing) {
  for (const PathCase& c : kPathCases) {
    if (c.way != kJoin) continue;
    SCOPED_TRACE(c.path);
    char out[kJoinedPathSize];
    ASSERT_TRUE(JoinPath(out, sizeof out, c.drive, c.directory, c.fileName, c.extension));
    EXPECT_STREQ(out, c.path);
  }
}

TEST(JoinPath, FitsAt259CharactersAndRefuses260) {
  struct {
    size_t nameLength;
    bool fits;
  } const cases[] = {{153, true}, {154, false}, {255, false}};
  // "C:" + 100-character directory + name + ".zeq": 106 + name characters.
  const std::string directory = std::string(99, 'd') + "/";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.nameLength);
    const std::string name(c.nameLength, 'n');
    char out[kJoinedPathSize + 8];
    // Canary beyond the 260 bytes the join may use.
    out[kJoinedPathSize] = 'X';
    EXPECT_EQ(JoinPath(out, kJoinedPathSize, "C:", directory.c_str(), name.c_str(), "zeq"), c.fits);
    EXPECT_EQ(out[kJoinedPathSize], 'X');
    if (c.fits) {
      EXPECT_EQ(std::string(out), "C:" + directory + name + ".zeq");
      EXPECT_EQ(std::string(out).size(), 106 + c.nameLength);
    } else {
      EXPECT_STREQ(out, "");
    }
  }
}

TEST(JoinPath, RefusesWhenAnAddedSeparatorOrDotOverflows) {
  // 258 characters of parts: the added '/' reaches 259, the added '.' 260.
  const std::string directory(200, 'd');
  const std::string name(58, 'n');
  char out[kJoinedPathSize];
  EXPECT_TRUE(JoinPath(out, sizeof out, "", directory.c_str(), name.c_str(), ""));
  EXPECT_EQ(std::string(out).size(), 259u);
  EXPECT_FALSE(JoinPath(out, sizeof out, "", directory.c_str(), name.c_str(), "z"));
  EXPECT_STREQ(out, "");
}

}  // namespace
}  // namespace png2zeq
