#include "folders.hpp"

#include <algorithm>
#include <array>
#include <system_error>

#include "text.hpp"

namespace fs = std::filesystem;

namespace kestrix::ui {
namespace {

char lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool hidden(std::string_view name) {
  return !name.empty() && name.front() == '.';
}

}  // namespace

bool matchesLoggerPattern(std::string_view name) {
  if (name.size() < 6) return false;  // "uc" + ".pdb"
  const auto is = [&](std::size_t at, std::string_view what) {
    for (std::size_t i = 0; i < what.size(); ++i)
      if (lower(name[at + i]) != what[i]) return false;
    return true;
  };
  return is(0, "uc") && is(name.size() - 4, ".pdb");
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
  return foldCase(a) == foldCase(b);
}

bool nameLess(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(lower(a[i]));
    const auto y = static_cast<unsigned char>(lower(b[i]));
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

std::vector<std::string> loggerFilesIn(const fs::path& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (hidden(name) || !matchesLoggerPattern(name)) continue;
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end(), nameLess);
  return names;
}

std::vector<std::string> subfoldersOf(const fs::path& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (hidden(name)) continue;
    std::error_code typeError;
    if (!it->is_directory(typeError)) continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end(), nameLess);
  return names;
}

bool holdsRealFiles(std::string_view device, std::string_view fileSystem,
                    const fs::path& mountPoint) {
  if (mountPoint == "/") return true;
  // Places that only the system's own pseudo file systems use.
  for (const char* system : {"/proc", "/sys", "/dev"}) {
    const fs::path top(system);
    const auto [end, ignored] =
        std::mismatch(top.begin(), top.end(), mountPoint.begin(), mountPoint.end());
    if (end == top.end()) return false;
  }
  static constexpr std::array<std::string_view, 10> networkOrUser = {
      "nfs", "nfs4", "cifs", "smb3", "smbfs", "fuseblk", "fuse.sshfs", "9p", "virtiofs", "ceph"};
  if (std::find(networkOrUser.begin(), networkOrUser.end(), fileSystem) != networkOrUser.end())
    return true;
  // Disks and removable media; squashfs images are read-only system packages.
  return device.starts_with("/dev/") && fileSystem != "squashfs";
}

int volumeHolding(const std::vector<Volume>& volumes, const fs::path& path) {
  int best = -1;
  std::ptrdiff_t bestLength = -1;
  for (std::size_t i = 0; i < volumes.size(); ++i) {
    const fs::path& top = volumes[i].mountPoint;
    const auto [end, ignored] = std::mismatch(top.begin(), top.end(), path.begin(), path.end());
    if (end != top.end()) continue;
    const auto length = std::distance(top.begin(), top.end());
    if (length > bestLength) {
      best = static_cast<int>(i);
      bestLength = length;
    }
  }
  return best;
}

}  // namespace kestrix::ui
