// The user's regional settings, as the table writes numbers and dates.
#pragma once

#include "regional.hpp"

namespace kestrix::platform {

// POSIX and Windows: the settings of the process's locale
// (regionalFromLocale). The browser build, whose C library knows no locale
// but C: the settings its host found, as the JavaScript side passes them in
// the environment (KESTRIX_DECIMAL_MARK, KESTRIX_DATE_SEPARATOR,
// KESTRIX_TIME_SEPARATOR); the defaults for any it leaves out.
Regional regionalSettings();

}  // namespace kestrix::platform
