// The output files of one run, replacing their targets together: each is
// written to a temporary file beside its target, and commit() renames them
// all once every one is complete. A run that fails before then leaves every
// target as it was, and no temporary file.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "file_sinks.hpp"

namespace kestrix {

class PendingOutputs {
 public:
  PendingOutputs();
  // Removes the temporary files not yet renamed.
  ~PendingOutputs();
  PendingOutputs(const PendingOutputs&) = delete;
  PendingOutputs& operator=(const PendingOutputs&) = delete;

  // A sink whose bytes replace `target` on commit(); a device or a pipe is
  // written in place (AtomicFileSink). Throws ConversionError naming `target`.
  AtomicFileSink& addSink(const std::filesystem::path& target);

  // For a writer that makes a whole file and replaces the one it is given
  // (the workbook's library, the report's painter): calls `write` with a
  // temporary file beside `target`, which replaces `target` on commit().
  // `what` names the content ("a workbook") for a target that is no plain
  // file. A ConversionError naming the temporary file names `target` instead.
  void addWrittenFile(const std::filesystem::path& target, std::string_view what,
                      const std::function<void(const std::filesystem::path& file)>& write);

  // Finishes every file (a write error then replaces nothing), then renames
  // each over its target in the order they were added; once. A rename that
  // fails throws ConversionError naming that target, and the ones before it,
  // replaced already.
  void commit();

 private:
  struct Output;
  std::vector<std::unique_ptr<Output>> outputs_;
};

}  // namespace kestrix
