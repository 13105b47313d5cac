#include "regional.hpp"

#include <cctype>
#include <ctime>
#include <iterator>
#include <locale>
#include <sstream>

namespace kestrix {

namespace {

std::string formatTime(const std::locale& locale, char format) {
  std::tm t{};
  t.tm_year = 2014 - 1900;  // 5 March 2014, 07:30:00: no field looks like another
  t.tm_mon = 2;
  t.tm_mday = 5;
  t.tm_hour = 7;
  t.tm_min = 30;
  t.tm_sec = 0;
  std::ostringstream out;
  out.imbue(locale);
  std::use_facet<std::time_put<char>>(locale).put(std::ostreambuf_iterator<char>(out), out, ' ', &t,
                                                  format);
  return out.str();
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// The text between the first and second digit groups of `formatted`, when the
// text between the second and third is the same; otherwise `fallback`.
std::string separatorOf(const std::string& formatted, const std::string& fallback) {
  std::string seps[2];
  std::size_t i = 0;
  for (std::string& sep : seps) {
    while (i < formatted.size() && !isDigit(formatted[i])) ++i;
    while (i < formatted.size() && isDigit(formatted[i])) ++i;
    while (i < formatted.size() && !isDigit(formatted[i])) sep.push_back(formatted[i++]);
    if (i == formatted.size()) return fallback;
  }
  if (seps[0].empty() || seps[0] != seps[1] || seps[0].size() > 4) return fallback;
  return seps[0];
}

}  // namespace

Regional regionalFromLocale() {
  Regional r;
  try {
    const std::locale numeric(std::locale::classic(), "", std::locale::numeric);
    const char mark = std::use_facet<std::numpunct<char>>(numeric).decimal_point();
    if (mark != '\0') r.decimalMark = std::string(1, mark);

    const std::locale time(std::locale::classic(), "", std::locale::time);
    r.dateSeparator = separatorOf(formatTime(time, 'x'), r.dateSeparator);
    r.timeSeparator = separatorOf(formatTime(time, 'X'), r.timeSeparator);
  } catch (const std::exception&) {
    // An unknown locale in the environment: keep the defaults.
  }
  return r;
}

}  // namespace kestrix
