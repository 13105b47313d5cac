// The table as CSV for scripts and databases (RFC 4180): UTF-8 without a
// byte-order mark, comma-separated, CR LF, one header row naming each
// column, ISO 8601 dates and plain numbers; the cells that hold no number
// are empty fields.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "run.hpp"
#include "sink.hpp"
#include "table.hpp"

namespace kestrix {

// The first field of the header row.
inline constexpr std::string_view csvTimeHeading = "time";

// The CSV's form of the rows: "2026-12-02T09:00:00" (with the offset, if
// any), comma-separated, a dot decimal, only numbers.
RowForm csvTableForm(std::optional<int> utcOffsetMinutes);

// The name of each table column after the date, in UTF-8: "TITLE LABEL
// (UNIT)"; a name met more than once gets " [IDENTITY]" (the logger's) on
// every occurrence, and one still repeated " #2", " #3" ... on its later ones.
std::vector<std::string> csvColumnNames(const ConversionRun& run);

// Appends `text` as one CSV field: in double quotes, its quotes doubled, when
// it holds a comma, a quote or a line break; as it is otherwise.
void appendCsvField(std::string_view text, std::string& out);

// Writes the run's table as CSV to `sink` and returns the closing status.
// From `options`: the rows (a time window), the overflowed cells, the UTC
// offset, the progress and the threads; the regional settings, the encoding
// and the date style do not apply.
std::string writeCsv(const ConversionRun& run, Sink& sink, const TableOptions& options);

}  // namespace kestrix
