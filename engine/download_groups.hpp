// Which files of a run are downloads of one logger that join into one column.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kestrix {

struct LoggerFile;

// A file of a logger already in the run that forms a group of its own: it
// was relaunched with other settings.
struct KeptApart {
  std::size_t file = 0;   // index in the run's files
  std::size_t other = 0;  // the first file of the logger's first group
  std::string reason;     // e.g. "it samples every 600 s, the other every 60 s"
};

struct DownloadGroups {
  // Indexes of the files, each group in the order given; the groups in the
  // order of their first file.
  std::vector<std::vector<std::size_t>> groups;
  std::vector<KeptApart> keptApart;  // in the order given
};

// Groups `files`: a file joins the first group whose files have its logger
// identity, type code, calibration parameters (offsetParam, factorParam) and
// sampling interval, and whose start lies a whole number of intervals from
// its own; else it starts a group of its own, kept apart (with the reason)
// when a group of its logger exists.
DownloadGroups groupDownloads(const std::vector<LoggerFile>& files);

// Why `file` does not join the group of `other` (same logger), or nothing
// when it does.
std::string whyApart(const LoggerFile& file, const LoggerFile& other);

}  // namespace kestrix
