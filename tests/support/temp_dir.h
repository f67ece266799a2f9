#pragma once

#include <initializer_list>
#include <string>

namespace png2zeq::testing {

// A fresh directory under $TMPDIR (or /tmp), removed with its contents when
// the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

// Directory of the shared test data (PNG corpus, photographs); the
// PNG2ZEQ_SHARED_DIR environment variable overrides the built-in location.
std::string SharedDataDir();

// Empty when every one of `names` (relative to SharedDataDir()) exists;
// otherwise the reason a test that needs them skips, naming what is missing.
//   if (auto missing = MissingSharedData({"photos/a.png"}); !missing.empty()) GTEST_SKIP() << missing;
std::string MissingSharedData(std::initializer_list<const char*> names);

}  // namespace png2zeq::testing
