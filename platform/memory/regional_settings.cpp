// The browser build: the host's settings, from the environment it set up.
#include "platform/regional_settings.hpp"

#include <cstdlib>
#include <string_view>

namespace kestrix::platform {

namespace {

// `variable` when it is set to a short text without a digit, else `fallback`.
std::string settingOr(const char* variable, const std::string& fallback) {
  const char* value = std::getenv(variable);
  if (!value) return fallback;
  const std::string_view text(value);
  if (text.empty() || text.size() > 4 || text.find_first_of("0123456789") != text.npos)
    return fallback;
  return std::string(text);
}

}  // namespace

Regional regionalSettings() {
  Regional r;
  r.decimalMark = settingOr("KESTRIX_DECIMAL_MARK", r.decimalMark);
  r.dateSeparator = settingOr("KESTRIX_DATE_SEPARATOR", r.dateSeparator);
  r.timeSeparator = settingOr("KESTRIX_TIME_SEPARATOR", r.timeSeparator);
  return r;
}

}  // namespace kestrix::platform
