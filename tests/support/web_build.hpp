// The command-line tests built a second time against the WebAssembly build's
// command (KESTRIX_WEB_CONVERT, tests/cli/CMakeLists.txt): skipped while it
// has not been built, unless KESTRIX_WEB_REQUIRED is set, and a test of what
// only the native build does says so with KESTRIX_NATIVE_ONLY.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#ifdef KESTRIX_WEB_CONVERT
namespace kestrix::testing {

class WebBuildPresent : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!std::filesystem::exists(KESTRIX_WEB_CONVERT) && !std::getenv("KESTRIX_WEB_REQUIRED"))
      GTEST_SKIP() << KESTRIX_WEB_CONVERT " is not built (scripts/web builds it)";
  }
};

inline ::testing::Environment* const webBuildPresent =
    ::testing::AddGlobalTestEnvironment(new WebBuildPresent);

}  // namespace kestrix::testing
#define KESTRIX_NATIVE_ONLY(why) GTEST_SKIP() << (why)
#else
#define KESTRIX_NATIVE_ONLY(why) static_cast<void>(0)
#endif
