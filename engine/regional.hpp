// Regional settings that shape the table's text.
#pragma once

#include <string>

namespace kestrix {

struct Regional {
  std::string decimalMark = ".";    // in numbers
  std::string dateSeparator = "/";  // in row dates, dd/mm/yy
  std::string timeSeparator = ":";  // in row times, hh:mm:ss
};

// The settings of the process's locale, as a desktop program takes them: the
// decimal mark from LC_NUMERIC, the separators from LC_TIME's date and time
// formats. Falls back to the defaults above for anything it cannot tell.
// Texts are in the locale's own encoding (UTF-8 on a modern system).
Regional regionalFromLocale();

}  // namespace kestrix
