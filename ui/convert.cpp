#include "convert.hpp"

#include <algorithm>
#include <utility>

#include "files.hpp"
#include "mapped_file.hpp"
#include "run.hpp"
#include "table.hpp"

namespace kestrix::ui {

std::string convertFiles(const RunRequest& request) {
  std::vector<std::filesystem::path> paths;
  paths.reserve(request.names.size());
  for (const std::string& name : request.names) paths.push_back(request.folder / name);
  auto run = std::make_shared<const ConversionRun>(
      makeRun(readLoggerFiles(paths, request.names, mapInputFile)));

  AtomicFileSink sink(request.target);
  const GuardedTemporary guard(sink.temporaryPath());
  TableOptions options;
  options.regional = request.regional;
  options.progress = request.progress;
  options.clipboardText = request.clipboardText;
  std::string status = writeTable(*run, sink, options);
  sink.commit();
  if (request.keepRun) *request.keepRun = std::move(run);
  return status;
}

}  // namespace kestrix::ui

namespace kestrix::ui {

bool fitsClipboard(std::string_view text) {
  auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  if (!text.empty() && text.back() != '\n') ++lines;
  return lines <= clipboardMaxLines;
}

}  // namespace kestrix::ui
