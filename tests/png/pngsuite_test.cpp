// The shared PNG corpus: files whose names start with 'x' are broken on
// purpose and must be refused; every other file must decode. The corpus
// names encode colour type and bit depth ("basn3p04": type 3, 4 bits) and
// pairs differ only in 'i' (interlaced) or 'n' at the fourth letter.

#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "read_png_support.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace png2zeq::testing {
namespace {

std::string CorpusDir() { return SharedDataDir() + "/pngsuite"; }

// Names of the corpus's PNG files, sorted; empty when the corpus is absent.
std::vector<std::string> CorpusFiles() {
  std::vector<std::string> names;
  DIR* dir = opendir(CorpusDir().c_str());
  if (dir == nullptr) return names;
  while (dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0) names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

bool MustBeRefused(const std::string& name) { return name[0] == 'x'; }

// Colour type the reader must deliver for a corpus name "????Tc??.png",
// T being the file's PNG colour type; -1 when the name does not say.
int DecodedColourTypeOf(const std::string& name) {
  if (name.size() != 12 || name[4] < '0' || name[4] > '6') return -1;
  const int fileType = name[4] - '0';
  return fileType == 3 ? 2 : fileType;
}

TEST(PngSuite, BrokenFilesAreRefusedAndAllOthersDecode) {
  const std::vector<std::string> names = CorpusFiles();
  if (names.empty()) GTEST_SKIP() << "no PNG corpus at " << CorpusDir();

  std::map<std::string, Bytes> decoded;
  int refused = 0;
  const int descriptorsBefore = OpenDescriptorCount();
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const ReadOutcome outcome = ReadPngFile(CorpusDir() + "/" + name);
    if (MustBeRefused(name)) {
      EXPECT_TRUE(IsDecodeFailure(outcome));
      ++refused;
      continue;
    }
    ASSERT_TRUE(IsQuietSuccess(outcome));
    const int expectedType = DecodedColourTypeOf(name);
    if (expectedType >= 0) {
      EXPECT_EQ(outcome.colourType, expectedType);
    }
    decoded[name] = outcome.pixels;
  }
  EXPECT_EQ(OpenDescriptorCount(), descriptorsBefore) << "an input file was left open";
  EXPECT_GT(refused, 0) << "the corpus has no broken files";

  int twins = 0;
  for (const auto& [name, pixels] : decoded) {
    if (name[3] != 'i') continue;
    std::string twin = name;
    twin[3] = 'n';
    const auto found = decoded.find(twin);
    if (found == decoded.end()) continue;
    SCOPED_TRACE(name + " against " + twin);
    EXPECT_EQ(pixels, found->second);
    ++twins;
  }
  EXPECT_GT(twins, 0) << "no interlaced twins found";
}

// The converter itself, started once per corpus file: status 0 and no output
// for a decodable file; status 5 and the reader's two lines followed by the
// error line for a broken one.
TEST(PngSuite, ConverterExitStatusPerFile) {
  const std::vector<std::string> names = CorpusFiles();
  if (names.empty()) GTEST_SKIP() << "no PNG corpus at " << CorpusDir();

  TempDir dir;
  const std::string output = dir.File("out.zeq");
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const std::string path = CorpusDir() + "/" + name;
    const ProcessResult run = RunConverterProcess({"-o", output, path});
    EXPECT_EQ(run.errors, "");
    if (MustBeRefused(name)) {
      EXPECT_EQ(run.exitStatus, static_cast<int>(ErrorCode::PNGDecodeError));
      const ReadOutcome inProcess = ReadPngFile(path);
      EXPECT_EQ(run.output,
                inProcess.printed + "Error \"PNGDecodeError\" occurred for " + path + ".\n");
    } else {
      EXPECT_EQ(run.exitStatus, static_cast<int>(ErrorCode::OK));
      EXPECT_EQ(run.output, "");
    }
  }
}

}  // namespace
}  // namespace png2zeq::testing
