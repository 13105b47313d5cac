// The browser build: whether a stream is a terminal is what the host told
// (KESTRIX_TERMINAL_OUTPUT, KESTRIX_TERMINAL_ERROR: "1" under Node when the
// stream is one; never in the page); the character set is the locale's, from
// its name in LC_ALL, LC_CTYPE or LANG, as the C library here knows none.
#include "platform/terminal.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace kestrix::platform {

bool isTerminal(StandardStream stream) {
  const char* told = std::getenv(stream == StandardStream::Output ? "KESTRIX_TERMINAL_OUTPUT"
                                                                  : "KESTRIX_TERMINAL_ERROR");
  return told && std::string(told) == "1";
}

bool terminalTakesUtf8() {
  const char* name = nullptr;
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    name = std::getenv(variable);
    if (name && *name) break;
  }
  if (!name) return false;
  std::string codeset;
  for (const char* c = std::strchr(name, '.') ? std::strchr(name, '.') + 1 : ""; *c && *c != '@';
       ++c)
    if (*c != '-') codeset += static_cast<char>(*c >= 'A' && *c <= 'Z' ? *c - 'A' + 'a' : *c);
  return codeset == "utf8";
}

bool readerGone(int errorNumber) {
  return errorNumber == EPIPE;
}

}  // namespace kestrix::platform
