#include "folders.hpp"

#include <algorithm>
#include <array>
#include <fstream>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace kestrix::ui {
namespace {

char lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool hidden(std::string_view name) {
  return !name.empty() && name.front() == '.';
}

// The mount table writes blanks, tabs, line ends and backslashes as \ooo.
std::string unescapeMountField(std::string_view field) {
  const auto octal = [](char c) { return c >= '0' && c <= '7'; };
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && octal(field[i + 1]) && octal(field[i + 2]) &&
        octal(field[i + 3])) {
      out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                               (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

bool holdsRealFiles(const std::string& device, const std::string& fileSystem,
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

std::vector<Volume> parseMounts(std::string_view table) {
  std::vector<Volume> volumes;
  std::istringstream lines{std::string(table)};
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string device, mountPoint, fileSystem;
    if (!(fields >> device >> mountPoint >> fileSystem)) continue;
    Volume volume{fs::path(unescapeMountField(mountPoint)), unescapeMountField(device), fileSystem};
    if (!holdsRealFiles(volume.device, volume.fileSystem, volume.mountPoint)) continue;
    const auto same = [&](const Volume& v) { return v.mountPoint == volume.mountPoint; };
    if (std::find_if(volumes.begin(), volumes.end(), same) != volumes.end()) continue;
    volumes.push_back(std::move(volume));
  }
  return volumes;
}

std::vector<Volume> mountedVolumes() {
  std::ifstream in("/proc/self/mounts");
  std::ostringstream text;
  text << in.rdbuf();
  std::vector<Volume> volumes;
  for (Volume& volume : parseMounts(text.str())) {
    std::error_code ec;
    if (fs::is_directory(volume.mountPoint, ec)) volumes.push_back(std::move(volume));
  }
  const auto isRoot = [](const Volume& v) { return v.mountPoint == "/"; };
  if (std::find_if(volumes.begin(), volumes.end(), isRoot) == volumes.end())
    volumes.insert(volumes.begin(), Volume{"/", "", ""});
  return volumes;
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
