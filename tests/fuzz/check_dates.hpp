// The table's other forms checked against the table itself: ISO dates, the
// CSV, and the rows of a time window.
#pragma once

#include <string_view>

#include "run.hpp"
#include "text_format.hpp"

namespace kestrix::fuzz {

// `table` is the run's whole table as written with the default regional
// settings in `encoding`. The window and the UTC offset come from `input`'s
// bytes.
void checkDatesCsvAndWindow(const ConversionRun& run, std::string_view table, Encoding encoding,
                            std::string_view input);

}  // namespace kestrix::fuzz
