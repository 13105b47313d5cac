// How the fuzz entry reports a finding: a message on standard error and an
// abort, which the fuzzer and the replay both catch.
#pragma once

#include <concepts>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix::fuzz {

[[noreturn]] inline void broken(const char* what, const std::string& detail = {}) {
  std::fprintf(stderr, "invariant broken: %s %s\n", what, detail.c_str());
  std::abort();
}

inline void check(bool ok, const char* what, const std::string& detail = {}) {
  if (!ok) broken(what, detail);
}

// The same with the detail made only when the check fails: the checks of
// every row and cell would otherwise spend their time writing messages.
template <std::invocable Detail>
inline void check(bool ok, const char* what, Detail&& detail) {
  if (!ok) broken(what, detail());
}

// The fields of one line of a tab-separated output.
inline std::vector<std::string_view> tabFields(std::string_view line) {
  std::vector<std::string_view> out;
  for (std::size_t at = 0;;) {
    const std::size_t tab = line.find('\t', at);
    out.push_back(line.substr(at, tab - at));
    if (tab == std::string_view::npos) return out;
    at = tab + 1;
  }
}

}  // namespace kestrix::fuzz
