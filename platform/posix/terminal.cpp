#include "platform/terminal.hpp"

#include <errno.h>
#include <langinfo.h>
#include <locale.h>
#include <unistd.h>

#include <string_view>

namespace kestrix::platform {

bool isTerminal(StandardStream stream) {
  return isatty(stream == StandardStream::Output ? STDOUT_FILENO : STDERR_FILENO) == 1;
}

bool terminalTakesUtf8() {
  const locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
  if (locale == static_cast<locale_t>(nullptr)) return false;
  const bool utf8 = std::string_view(nl_langinfo_l(CODESET, locale)) == "UTF-8";
  freelocale(locale);
  return utf8;
}

bool readerGone(int errorNumber) {
  return errorNumber == EPIPE;
}

}  // namespace kestrix::platform
