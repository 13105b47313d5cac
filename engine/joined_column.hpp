// A column joined from repeated downloads of one logger: each download's plan
// merged, row by row, into one column.
#pragma once

#include <vector>

#include "column_plan.hpp"

namespace kestrix {

struct LoggerFile;

// The column of the downloads `plans` (in the order given; their `file`
// indexes `files`), all of one logger, type, calibration and interval. Row by
// row, from what each plan shows alone:
//   - some file has a value: the value of the newest of those files (the one
//     whose last sample is latest, a tie going to the file given later); the
//     row conflicts when their raw samples differ;
//   - else, some file reads "overflow": "overflow";
//   - else nothing.
// A position whose sample the file lacks counts as no value. The counts are
// worked out for both choices of the safety margin.
ColumnPlan joinColumn(std::vector<FilePlan> plans, const std::vector<LoggerFile>& files);

// The counts of a column of `files`' run over the table rows `rows` alone (in
// its slots, firstConflict among them): the stored ones when `rows` holds
// every slot of the column's pieces.
JoinCounts joinCountsIn(const ColumnPlan& column, const std::vector<LoggerFile>& files,
                        bool includeOverflowed, RowRange rows);

}  // namespace kestrix
