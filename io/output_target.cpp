#include "output_target.hpp"

#include <cstdint>
#include <cstdio>
#include <string>
#include <system_error>
#include <vector>

#include "error.hpp"
#include "file_sinks.hpp"
#include "platform/file_system.hpp"
#include "platform/temporary_file.hpp"
#include "run.hpp"
#include "same_file.hpp"

namespace fs = std::filesystem;

namespace kestrix {

namespace {

// Enough of a file to see whether it starts as a logger file: a real one has
// its recording header within the first kilobyte or two.
constexpr std::size_t kProbeBytes = 64 * 1024;

bool holdsLoggerFile(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return false;
  std::FILE* file = platform::openFile(path, "rb");
  if (!file) return false;
  std::vector<std::uint8_t> bytes(kProbeBytes);
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
  std::fclose(file);
  return startsLikeLoggerFile(bytes);
}

[[noreturn]] void refuse(const fs::path& target, const std::string& why) {
  throw ConversionError(ErrorKind::RefusedTarget, target.string(), why);
}

// The writers create a temporary file beside the target and rename it over
// the target: its folder must be one, and writable by this user. The message
// is theirs (createTemporaryBeside).
void refuseFolderTakingNoFile(const fs::path& target) {
  const fs::path folder = platform::folderOf(target);
  if (const std::error_code error = platform::checkFolderTakesNewFiles(folder)) {
    throw ConversionError(ErrorKind::CannotWrite, target.string(),
                          "cannot create a file in " + folder.string() + ": " + error.message());
  }
}

}  // namespace

bool hasLoggerFileName(const fs::path& target) {
  const std::string name = target.filename().string();
  if (name.size() < 4) return false;
  std::string ending = name.substr(name.size() - 4);
  for (char& c : ending) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return ending == ".pdb";
}

void refuseUnsafeTarget(const fs::path& target, const std::vector<fs::path>& inputs) {
  // The inputs are there: a target that is not is none of them (a joined run
  // gives thousands to look at).
  std::error_code ec;
  if (fs::exists(target, ec)) {
    for (const fs::path& input : inputs) {
      if (sameFile(target, input))
        refuse(target, "is one of the logger files given; it is not overwritten");
    }
  }
  if (hasLoggerFileName(target)) {
    refuse(target,
           "not written: the name ends in .pdb, as a logger file's does; an output takes "
           "another name");
  }
  if (holdsLoggerFile(target))
    refuse(target, "holds a logger file; it is not overwritten by an output");
  // A folder, or a file this user may not write, is refused here; so is a
  // folder that takes no new file, unless the target is a device or a pipe,
  // written in place.
  const ReplacedFile replaced = replacedFile(target);
  if (!fs::exists(replaced.status) || fs::is_regular_file(replaced.status))
    refuseFolderTakingNoFile(replaced.path);
}

}  // namespace kestrix
