// The command-line tests built a second time against the WebAssembly build's
// command (KESTRIX_WEB_CONVERT, tests/cli/CMakeLists.txt): skipped unless
// KESTRIX_WEB_TESTS is set, as scripts/test sets it once scripts/web has
// built that command (a build-web/ left from earlier may be out of date); a
// test of what only the native build does says so with KESTRIX_NATIVE_ONLY.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

#ifdef KESTRIX_WEB_CONVERT
namespace kestrix::testing {

class WebBuildPresent : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!std::getenv("KESTRIX_WEB_TESTS"))
      GTEST_SKIP() << "KESTRIX_WEB_TESTS is not set: scripts/test runs these after scripts/web";
  }
};

inline ::testing::Environment* const webBuildPresent =
    ::testing::AddGlobalTestEnvironment(new WebBuildPresent);

}  // namespace kestrix::testing
#define KESTRIX_NATIVE_ONLY(why) GTEST_SKIP() << (why)
#else
#define KESTRIX_NATIVE_ONLY(why) static_cast<void>(0)
#endif
