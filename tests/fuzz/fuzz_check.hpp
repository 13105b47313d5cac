// How the fuzz entry reports a finding: a message on standard error and an
// abort, which the fuzzer and the replay both catch.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace kestrix::fuzz {

[[noreturn]] inline void broken(const char* what, const std::string& detail = {}) {
  std::fprintf(stderr, "invariant broken: %s %s\n", what, detail.c_str());
  std::abort();
}

inline void check(bool ok, const char* what, const std::string& detail = {}) {
  if (!ok) broken(what, detail);
}

}  // namespace kestrix::fuzz
