// How the worker's C++ talks with the page: the page writes its input into
// the instance's files and calls a function, which answers with a text the
// page reads out of the instance's memory before it calls again.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

namespace kestrix::web {

// Keeps `text` as the answer until the next one and returns it, NUL-ended.
inline const char* answerText(std::string text) {
  static std::string answer;
  answer = std::move(text);
  return answer.c_str();
}

// The content of the instance's file `path`; empty when there is none.
inline std::string fileText(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace kestrix::web
