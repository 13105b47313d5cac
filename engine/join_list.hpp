// What joining made of a run's downloads, in words: the messages on each
// joined column and each file kept apart, and the list of the columns.
#pragma once

#include <string>
#include <vector>

#include "row_range.hpp"
#include "run.hpp"
#include "sink.hpp"
#include "text_format.hpp"

namespace kestrix {

// One line per column joined from two or more files, in table order:
// "joined 52 downloads of 00000077 (Cold room): 52560 rows, 51552 overlapping,
// 0 conflicting" (the title in UTF-8). Empty unless the run joined.
std::vector<std::string> joinedColumnLines(const ConversionRun& run, bool includeOverflowed);

// One line per file kept apart, naming both files and the reason:
// "UC002.PDB is kept apart from UC001.PDB (logger 00000077): it samples every
// 600 s, the other every 60 s".
std::vector<std::string> keptApartLines(const ConversionRun& run);

// The list of a joined run's columns: a line of column names, then one line
// per column in table order (title, logger, downloads, the files' names joined
// by ", ", rows with values, overlapping, conflicting, the date of the first
// conflict or nothing), each ending in CR LF, as `format` writes texts and
// dates. The counts cover `rows` alone (the rows the outputs cover). The names are UTF-8: a
// Windows-1252 list takes them in that code page, '?' for a character it lacks.
void writeJoins(const ConversionRun& run, bool includeOverflowed, RowRange rows, Sink& sink,
                const TextFormat& format);

}  // namespace kestrix
