#include "cli/output_path.h"

#include <gtest/gtest.h>

#include <string>

namespace png2zeq {
namespace {

struct DeriveCase {
  const char* input;
  const char* output;  // the -output value, nullptr when absent
  const char* derived; // nullptr: the -output value is used as given
};

TEST(DeriveOutputPath, DerivesOrKeepsTheOutputName) {
  const DeriveCase cases[] = {
      // No -output: the input's drive, directory and name with "zeq".
      {"photo.png", nullptr, "photo.zeq"},
      {"C:\\pics\\photo.png", nullptr, "C:\\pics\\photo.zeq"},
      {"/abs/dir.v1/photo.final.png", nullptr, "/abs/dir.v1/photo.final.zeq"},
      {"noextension", nullptr, "noextension.zeq"},
      {"dir.v1/noextension", nullptr, "dir.v1/noextension.zeq"},
      {"name.", nullptr, "name.zeq"},
      // An -output value with a file name is used unchanged, extension or not.
      {"photo.png", "out.bin", nullptr},
      {"photo.png", "out", nullptr},
      {"photo.png", "dir/sub/out", nullptr},
      {"photo.png", "C:out.png", nullptr},
      {"photo.png", "-v", nullptr},
      // No file name in the value: the input's name with "zeq" goes there,
      // and the input's drive and directory play no part.
      {"C:\\pics\\photo.png", "outdir/", "outdir/photo.zeq"},
      {"/pics/photo.png", "outdir\\", "outdir\\photo.zeq"},
      {"/pics/photo.png", "/", "/photo.zeq"},
      {"/pics/photo.png", "C:", "C:photo.zeq"},
      {"C:\\pics\\photo.png", "D:", "D:photo.zeq"},
      {"/pics/photo.png", "dir/.zeq", "dir/photo.zeq"},
      {"/pics/photo.png", ".zeq", "photo.zeq"},
      {"/pics/photo.png", "D:.bin", "D:photo.zeq"},
      {"/pics/archive.tar.png", "out/", "out/archive.tar.zeq"},
  };
  for (const DeriveCase& c : cases) {
    SCOPED_TRACE(std::string(c.input) + " / " + (c.output ? c.output : "(none)"));
    ConversionJob job{};
    job.inputPath = c.input;
    job.outputPath = c.output;
    ASSERT_EQ(DeriveOutputPath(job), ErrorCode::OK);
    if (c.derived == nullptr) {
      EXPECT_EQ(job.outputPath, c.output);  // the argument itself, not a copy
    } else {
      EXPECT_EQ(job.outputPath, job.derivedName);
      EXPECT_STREQ(job.outputPath, c.derived);
    }
    EXPECT_EQ(job.inputPath, c.input);
  }
}

struct LengthCase {
  const char* what;
  std::string input;
  std::string output;  // empty: no -output
  ErrorCode result;
};

TEST(DeriveOutputPath, RefusesPartsAndNamesThatDoNotFit) {
  const std::string name255(255, 'n');
  const std::string name256(256, 'n');
  const std::string dir255 = std::string(254, 'd') + "/";
  const std::string dir256 = std::string(255, 'd') + "/";
  // A 200-character directory, a name and ".zeq": 204 + name characters.
  const std::string dir200 = std::string(199, 'd') + "/";
  const LengthCase cases[] = {
      {"output name 255", "in.png", name255, ErrorCode::OK},
      {"output name 256", "in.png", name256, ErrorCode::GeneralFailure},
      {"output name 256 with extension", "in.png", name256 + ".zeq", ErrorCode::GeneralFailure},
      {"output directory 255", "in.png", dir255 + "out.zeq", ErrorCode::OK},
      {"output directory 256", "in.png", dir256 + "out.zeq", ErrorCode::GeneralFailure},
      {"output directory alone 256", "in.png", dir256, ErrorCode::GeneralFailure},
      {"input name 255, joined 259", name255 + ".png", "", ErrorCode::OK},
      {"input name 256", name256 + ".png", "", ErrorCode::GeneralFailure},
      {"input directory 256", dir256 + "in.png", "", ErrorCode::GeneralFailure},
      {"input name 256, output directory", name256 + ".png", "out/", ErrorCode::GeneralFailure},
      // With -output, the input's directory plays no part, nor its name when unused.
      {"input directory 256, joined 259 into an output directory",
       dir256 + std::string(55, 'n') + ".png", dir200, ErrorCode::OK},
      {"input directory 256, output name given", dir256 + "in.png", "out.zeq", ErrorCode::OK},
      {"input name 256, output name given", name256 + ".png", "out.zeq", ErrorCode::OK},
      {"joined 259 from the input", dir200 + std::string(55, 'n') + ".png", "", ErrorCode::OK},
      {"joined 260 from the input", dir200 + std::string(56, 'n') + ".png", "", ErrorCode::GeneralFailure},
      {"joined 259 into an output directory", std::string(55, 'n') + ".png", dir200, ErrorCode::OK},
      {"joined 260 into an output directory", std::string(56, 'n') + ".png", dir200,
       ErrorCode::GeneralFailure},
      {"joined 260 with a drive", std::string(54, 'n') + ".png", "C:" + dir200, ErrorCode::GeneralFailure},
  };
  for (const LengthCase& c : cases) {
    SCOPED_TRACE(c.what);
    ConversionJob job{};
    job.inputPath = c.input.c_str();
    const char* given = c.output.empty() ? nullptr : c.output.c_str();
    job.outputPath = given;
    ASSERT_EQ(DeriveOutputPath(job), c.result);
    if (c.result != ErrorCode::OK) {
      EXPECT_EQ(job.outputPath, given);  // left as it was
      continue;
    }
    if (job.outputPath == job.derivedName) {
      EXPECT_EQ(std::string(job.derivedName).size(), 259u);
    } else {
      EXPECT_EQ(job.outputPath, given);
    }
  }
}

}  // namespace
}  // namespace png2zeq
