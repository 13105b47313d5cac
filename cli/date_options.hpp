// The command line's dates: --dates, --utc-offset and the time window
// (--from, --to), read and checked against each other.
#pragma once

#include <cstdint>
#include <string>

#include "options.hpp"

namespace kestrix::cli {

// "regional" or "iso". Throws UsageError.
DateStyle parseDateStyle(const std::string& name);

// "+HH:MM" or "-HH:MM", from -14:00 to +14:00, in minutes. Throws UsageError.
int parseUtcOffset(const std::string& text);

// A date of --from or --to (`option`), as parseWindowDate reads it. Throws UsageError.
std::int64_t parseWindowEnd(const std::string& option, const std::string& text);

// The date options against each other and the format. Throws UsageError.
void checkDateOptions(const Options& options);

}  // namespace kestrix::cli
