#include "download_groups.hpp"

#include <unordered_map>

#include "run.hpp"

namespace kestrix {

namespace {

// whyApart(file, other).empty(), without the words.
bool joins(const LoggerFile& file, const LoggerFile& other) {
  return file.typeCode == other.typeCode && file.offsetParam == other.offsetParam &&
         file.factorParam == other.factorParam && file.interval == other.interval &&
         (file.interval <= 0 || (file.startDate - other.startDate) % file.interval == 0);
}

}  // namespace

std::string whyApart(const LoggerFile& file, const LoggerFile& other) {
  auto number = [](auto v) { return std::to_string(v); };
  if (file.typeCode != other.typeCode) {
    return "it is of type " + number(int{file.typeCode}) + ", the other of type " +
           number(int{other.typeCode});
  }
  if (file.offsetParam != other.offsetParam || file.factorParam != other.factorParam) {
    return "its calibration (offset " + number(file.offsetParam) + ", factor " +
           number(file.factorParam) + ") differs from the other's (offset " +
           number(other.offsetParam) + ", factor " + number(other.factorParam) + ")";
  }
  if (file.interval != other.interval) {
    return "it samples every " + number(file.interval) + " s, the other every " +
           number(other.interval) + " s";
  }
  if (file.interval > 0) {
    const std::int64_t off = (file.startDate - other.startDate) % file.interval;
    if (off != 0) {
      const std::int64_t seconds = off < 0 ? off + file.interval : off;
      return "its start lies " + number(seconds) + " s off the other's " + number(file.interval) +
             " s sampling grid";
    }
  }
  return {};
}

DownloadGroups groupDownloads(const std::vector<LoggerFile>& files) {
  DownloadGroups out;
  // The groups of each logger, in the order made.
  std::unordered_map<std::int32_t, std::vector<std::size_t>> groupsOf;
  for (std::size_t i = 0; i < files.size(); ++i) {
    std::vector<std::size_t>& mine = groupsOf[files[i].loggerId];
    bool joined = false;
    for (const std::size_t g : mine) {
      if (joins(files[i], files[out.groups[g].front()])) {
        out.groups[g].push_back(i);
        joined = true;
        break;
      }
    }
    if (joined) continue;
    if (!mine.empty()) {
      const std::size_t other = out.groups[mine.front()].front();
      out.keptApart.push_back({i, other, whyApart(files[i], files[other])});
    }
    mine.push_back(out.groups.size());
    out.groups.push_back({i});
  }
  return out;
}

}  // namespace kestrix
