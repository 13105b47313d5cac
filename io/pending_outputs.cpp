#include "pending_outputs.hpp"

#include <string>

#include "error.hpp"
#include "platform/mapped_file.hpp"

namespace fs = std::filesystem;

namespace kestrix {

// One file, written by a sink or by another hand, its temporary file removed
// by a fault on a mapped input (GuardedTemporary) as by its destructor.
struct PendingOutputs::Output {
  std::unique_ptr<AtomicFileSink> sink;
  std::unique_ptr<ReplacementFile> file;
  std::unique_ptr<platform::GuardedTemporary> guard;

  std::string target() const { return sink ? sink->target().string() : file->target().string(); }
};

PendingOutputs::PendingOutputs() = default;
PendingOutputs::~PendingOutputs() = default;

AtomicFileSink& PendingOutputs::addSink(const fs::path& target) {
  auto output = std::make_unique<Output>();
  output->sink = std::make_unique<AtomicFileSink>(target);
  output->guard = std::make_unique<platform::GuardedTemporary>(output->sink->temporaryPath());
  outputs_.push_back(std::move(output));
  return *outputs_.back()->sink;
}

void PendingOutputs::addWrittenFile(const fs::path& target, std::string_view what,
                                    const std::function<void(const fs::path& file)>& write) {
  auto output = std::make_unique<Output>();
  output->file = std::make_unique<ReplacementFile>(target, what);
  output->guard = std::make_unique<platform::GuardedTemporary>(output->file->path());
  const ReplacementFile& file = *output->file;
  try {
    write(file.path());
  } catch (const ConversionError& e) {
    if (e.file() != file.path().string()) throw;
    throw ConversionError(e.kind(), file.target().string(), e.detail());
  }
  outputs_.push_back(std::move(output));
}

void PendingOutputs::commit() {
  for (const auto& output : outputs_) {
    if (output->sink) output->sink->finish();
  }
  std::string replaced;
  for (const auto& output : outputs_) {
    try {
      if (output->sink) {
        output->sink->commit();
      } else {
        output->file->commit();
      }
    } catch (const ConversionError& e) {
      if (replaced.empty()) throw;
      throw ConversionError(e.kind(), e.file(), e.detail() + "; already replaced: " + replaced);
    }
    replaced += (replaced.empty() ? "" : ", ") + output->target();
  }
}

}  // namespace kestrix
