#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <vector>

namespace png2zeq::testing {

#ifdef _WIN32
// Windows has no mkdtemp: random names until one is new.
TempDir::TempDir() {
  std::random_device random;
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    const auto candidate = std::filesystem::temp_directory_path() / ("png2zeq-test-" + std::to_string(random()));
    if (std::filesystem::create_directory(candidate)) path_ = candidate.string();
  }
  if (path_.empty()) ADD_FAILURE() << "cannot make a temporary directory";
}
#else
TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/png2zeq-test-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed for " << pattern;
  path_ = buffer.data();
}
#endif

TempDir::~TempDir() {
  std::error_code ignored;
  // Restore write permission on anything a test made read-only.
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::File(const std::string& name) const { return path_ + "/" + name; }

std::string SharedDataDir() {
  const char* overridden = std::getenv("PNG2ZEQ_SHARED_DIR");
  return overridden && *overridden ? overridden : PNG2ZEQ_SHARED_DIR;
}

std::string MissingSharedData(std::initializer_list<const char*> names) {
  std::string missing;
  for (const char* name : names) {
    const std::string path = SharedDataDir() + "/" + name;
    if (!std::filesystem::exists(path)) missing += (missing.empty() ? "" : ", ") + path;
  }
  if (missing.empty()) return missing;
  return "needs the shared test data (PngSuite and photographs; PNG2ZEQ_SHARED_DIR), missing: " +
         missing;
}

}  // namespace png2zeq::testing
