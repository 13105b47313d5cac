// The browser build: no terminal; text is UTF-8.
#include "platform/terminal.hpp"

namespace kestrix::platform {

bool isTerminal(StandardStream) {
  return false;
}

bool terminalTakesUtf8() {
  return true;
}

}  // namespace kestrix::platform
