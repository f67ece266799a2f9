// The output-file promises of both tools at their edges, as a user's shell
// meets them: redirections, the -compare original, file-size limits, deep
// input directories, another user's file, access control lists.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "support/subprocess.h"
#include "support/zeq_files.h"

namespace png2zeq {
namespace {

// Each case starts in a directory of its own, readable by every user, with
// a.png, ref.zeq (its conversion), and orig.png and old.zeq, copies that no
// case may change; $P is the converter, $Z zeq2png. A changed copy or a
// temporary left behind replaces the case's status.
constexpr const char* kPrelude =
    R"(P=$0 Z=$1; "$P" -o ref.zeq a.png >/dev/null && cp a.png orig.png && cp ref.zeq old.zeq || exit 90
)";
constexpr const char* kEpilogue = R"sh(
s=$?; cmp -s a.png orig.png && cmp -s ref.zeq old.zeq || s=98
[ -z "$(find . -name '.*.tmp')" ] || s=97; exit $s)sh";

struct ShellCase {
  const char* script;  // run in a subshell after the prelude
  int status;
};

void ExpectShellCases(std::initializer_list<ShellCase> cases) {
  for (const ShellCase& c : cases) {
    testing::TempDir dir;
    chmod(dir.path().c_str(), 0755);
    testing::PngRecipe recipe;
    recipe.width = recipe.height = 8;
    for (int i = 0; i < 8 * 8 * 3; ++i) recipe.samples.push_back(static_cast<uint8_t>(i * 29));
    chmod(testing::WritePngInto(dir, "a.png", recipe).c_str(), 0644);
    const auto run = testing::RunProcess(
        "/bin/sh", {"-c", std::string(kPrelude) + "(" + c.script + ")" + kEpilogue,
                    PNG2ZEQ_EXECUTABLE, ZEQ2PNG_EXECUTABLE}, dir.path());
    EXPECT_EQ(run.exitStatus, c.status) << c.script << "\n" << run.output << run.errors;
  }
}

// A name for one of the run's descriptors is written through it: >>
// appends, and runs into one redirection follow each other.
TEST(OutputEdges, StandardOutputIsWrittenToNeverReplaced) {
  ExpectShellCases({
      {R"(echo > out; "$P" -o /dev/stdout a.png >> out; echo | cat - ref.zeq | cmp - out)", 0},
      {R"({ "$P" -o /dev/stdout a.png; "$P" -u -o /dev/stdout a.png; } > out
          "$P" -u -o u.zeq a.png; cat ref.zeq u.zeq | cmp - out)", 0},
      {R"(echo > out; "$P" -o /dev/fd/3 a.png 3>> out; echo | cat - ref.zeq | cmp - out)", 0},
      {R"(echo > out; "$P" -o /proc/self/fd/3 a.png 3>> out; echo | cat - ref.zeq | cmp - out)", 0},
      {R"("$Z" -o p.png ref.zeq; echo > out; "$Z" -o /dev/stdout ref.zeq >> out
          echo | cat - p.png | cmp - out)", 0},
  });
}

TEST(OutputEdges, ThePngComparedWithIsNeverThePreview) {
  ExpectShellCases({
      {R"("$Z" -compare orig.png -o orig.png ref.zeq)", 23},
      {R"(cp a.png x.preview.png; cp ref.zeq x.zeq; "$Z" -compare x.preview.png x.zeq
          s=$?; cmp a.png x.preview.png && exit $s)", 23},
      {R"(ln orig.png hard.png; "$Z" -compare orig.png -o hard.png ref.zeq
          s=$?; cmp a.png hard.png && exit $s)", 23},
  });
}

TEST(OutputEdges, AFileSizeLimitIsAWriteError) {
  ExpectShellCases({{R"(ulimit -f 0; "$P" -o old.zeq a.png)", 11},
                    {R"(ulimit -f 0; "$Z" -o orig.png old.zeq)", 24}});
}

TEST(OutputEdges, OutputOptionIgnoresTheInputsDirectory) {
  ExpectShellCases({{R"(L=$PWD/$(printf %0150d/%0150d 0 0); mkdir -p "$L" sub; cp a.png ref.zeq "$L"
                        "$P" -o x.zeq "$L/a.png" && "$P" -o sub/ "$L/a.png" && "$Z" -o y.png "$L/ref.zeq" &&
                        cmp x.zeq ref.zeq && cmp sub/a.zeq ref.zeq)", 0}});
}

// Another user's file in a sticky directory may be written but not
// replaced: refused when opened, as any file that cannot be replaced.
TEST(OutputEdges, AFileTheUserMayNotReplaceIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as two other users";
  ExpectShellCases({{R"(mkdir -m 1777 st; cp ref.zeq st/o.zeq; chown 65534 st/o.zeq; chmod 666 st/o.zeq
                        setpriv --reuid=65533 --regid=65533 --clear-groups "$P" -o st/o.zeq a.png
                        s=$?; cmp ref.zeq st/o.zeq && exit $s)", 13}});
}

// A replaced file keeps its access control list and extended attributes,
// so no group gains access it did not have.
TEST(OutputEdges, ReplacingKeepsTheAccessControlList) {
  testing::TempDir dir;
  const std::string output = dir.File("a.zeq");
  testing::WriteFile(output, {'o', 'l', 'd'});
  chmod(output.c_str(), 0640);
  // user::rw- user:65534:rw- group::r-- mask::rw- other::---, as the kernel lays it out.
  const uint32_t acl[] = {2, 0x60001, ~0u, 0x60002, 65534, 0x40004, ~0u, 0x60010, ~0u, 0x20, ~0u};
  if (setxattr(output.c_str(), "system.posix_acl_access", acl, sizeof acl, 0) != 0 ||
      setxattr(output.c_str(), "user.note", "kept", 4, 0) != 0) {
    GTEST_SKIP() << "no access control lists in " << dir.path();
  }
  struct stat before, after;
  stat(output.c_str(), &before);
  testing::PngRecipe pixel;
  pixel.samples = {1, 2, 3};
  testing::WriteFile(dir.File("a.png"), testing::EncodePng(pixel));
  ASSERT_EQ(testing::RunConverterProcess({dir.File("a.png")}).exitStatus, 0);
  stat(output.c_str(), &after);
  uint32_t kept[16] = {};
  EXPECT_EQ(getxattr(output.c_str(), "system.posix_acl_access", kept, sizeof kept), ssize_t{sizeof acl});
  EXPECT_EQ(std::memcmp(kept, acl, sizeof acl), 0);
  EXPECT_EQ(getxattr(output.c_str(), "user.note", kept, sizeof kept), 4);
  EXPECT_EQ(after.st_mode, before.st_mode);
  EXPECT_NE(after.st_ino, before.st_ino) << "not replaced";
}

}  // namespace
}  // namespace png2zeq
