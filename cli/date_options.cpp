#include "date_options.hpp"

#include "time_window.hpp"

namespace kestrix::cli {

namespace {

constexpr int kLargestOffset = 14 * 60;

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

DateStyle parseDateStyle(const std::string& name) {
  if (name == "regional") return DateStyle::Regional;
  if (name == "iso") return DateStyle::Iso;
  throw UsageError{"unknown date style '" + name + "' (regional or iso)"};
}

int parseUtcOffset(const std::string& text) {
  const bool form = text.size() == 6 && (text[0] == '+' || text[0] == '-') && isDigit(text[1]) &&
                    isDigit(text[2]) && text[3] == ':' && isDigit(text[4]) && isDigit(text[5]);
  const int hours = form ? (text[1] - '0') * 10 + (text[2] - '0') : 0;
  const int minutes = form ? (text[4] - '0') * 10 + (text[5] - '0') : 0;
  const int offset = hours * 60 + minutes;
  if (!form || minutes > 59 || offset > kLargestOffset) {
    throw UsageError{"--utc-offset '" + text +
                     "': give the offset from UTC as +HH:MM or -HH:MM, from -14:00 to +14:00"};
  }
  return text[0] == '-' ? -offset : offset;
}

std::int64_t parseWindowEnd(const std::string& option, const std::string& text) {
  const std::optional<std::int64_t> date = parseWindowDate(text);
  if (!date) {
    throw UsageError{option + " '" + text +
                     "' is not a date: give YYYY-MM-DD, YYYY-MM-DD HH:MM or YYYY-MM-DD HH:MM:SS "
                     "(a T may stand for the space)"};
  }
  return *date;
}

void checkDateOptions(const Options& o) {
  if (o.utcOffsetMinutes && o.dates != DateStyle::Iso && o.format != OutputFormat::Csv) {
    throw UsageError{"--utc-offset needs --dates iso or --format csv: only ISO dates carry it"};
  }
  if (o.window.from && o.window.to && *o.window.from >= *o.window.to) {
    throw UsageError{
        "--from must be before --to: the window runs from --from (included) up to "
        "--to (excluded)"};
  }
}

}  // namespace kestrix::cli
