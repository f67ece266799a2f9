#pragma once
// Tests of what only POSIX systems have are compiled there alone; on Windows
// each is listed all the same and reports Skipped:
//   #ifndef _WIN32
//   TEST(Suite, Name) { ... }
//   #else
//   PNG2ZEQ_POSIX_ONLY(Suite, Name, "fork and signals")
//   #endif
#include <gtest/gtest.h>

#define PNG2ZEQ_POSIX_ONLY(suite, name, needs) \
  TEST(suite, name) { GTEST_SKIP() << "needs " needs ", which only POSIX systems have"; }
