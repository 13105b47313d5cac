#include "same_file.hpp"

#include <sys/stat.h>

#include <optional>
#include <utility>

#include "sinks.hpp"

namespace fs = std::filesystem;

namespace kestrix {

namespace {

using FileId = std::pair<dev_t, ino_t>;

std::optional<FileId> fileId(const fs::path& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return FileId{status.st_dev, status.st_ino};
}

}  // namespace

bool sameFile(const fs::path& a, const fs::path& b) {
  const std::optional<FileId> first = fileId(a);
  const std::optional<FileId> second = fileId(b);
  // A file there and none at the other name: two files.
  if (first || second) return first == second;
  const fs::path x = replacedPath(a).lexically_normal();
  const fs::path y = replacedPath(b).lexically_normal();
  if (x.filename() != y.filename()) return false;
  const fs::path xFolder = x.has_parent_path() ? x.parent_path() : fs::path(".");
  const fs::path yFolder = y.has_parent_path() ? y.parent_path() : fs::path(".");
  const std::optional<FileId> xId = fileId(xFolder);
  const std::optional<FileId> yId = fileId(yFolder);
  if (xId || yId) return xId == yId;
  return xFolder == yFolder;  // neither folder there: their names alone
}

}  // namespace kestrix
