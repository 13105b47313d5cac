#include "same_file.hpp"

#include <optional>

#include "file_sinks.hpp"
#include "platform/file_system.hpp"

namespace fs = std::filesystem;

namespace kestrix {

bool sameFile(const fs::path& a, const fs::path& b) {
  const std::optional<platform::FileIdentity> first = platform::fileIdentity(a);
  const std::optional<platform::FileIdentity> second = platform::fileIdentity(b);
  // A file there and none at the other name: two files.
  if (first || second) return first == second;
  const fs::path x = replacedPath(a).lexically_normal();
  const fs::path y = replacedPath(b).lexically_normal();
  if (x.filename() != y.filename()) return false;
  const fs::path xFolder = platform::folderOf(x);
  const fs::path yFolder = platform::folderOf(y);
  const std::optional<platform::FileIdentity> xId = platform::fileIdentity(xFolder);
  const std::optional<platform::FileIdentity> yId = platform::fileIdentity(yFolder);
  if (xId || yId) return xId == yId;
  return xFolder == yFolder;  // neither folder there: their names alone
}

}  // namespace kestrix
