#include "file_patterns.hpp"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "argument_path.hpp"
#include "options.hpp"
#include "text.hpp"

namespace fs = std::filesystem;

namespace kestrix::cli {

namespace {

// Where names are wide (Windows) a backslash parts folders too.
constexpr bool kBackslashParts = std::is_same_v<fs::path::value_type, wchar_t>;

// The bytes of the UTF-8 character that starts at `at`.
std::size_t characterLength(std::string_view text, std::size_t at) {
  std::size_t end = at + 1;
  while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
  return end - at;
}

// Glob matching with one point to go back to: the last `*` met.
bool matchFolded(std::string_view name, std::string_view pattern) {
  std::size_t n = 0, p = 0;
  std::size_t starAt = std::string_view::npos, resumeName = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starAt = p++;
      resumeName = n;
    } else if (p < pattern.size() && pattern[p] == '?') {
      n += characterLength(name, n);
      ++p;
    } else if (p < pattern.size() && pattern[p] == name[n]) {
      ++n;
      ++p;
    } else if (starAt != std::string_view::npos) {
      p = starAt + 1;
      resumeName += characterLength(name, resumeName);
      n = resumeName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// Where the folder of `argument` ends: after its last separator, or after
// the drive of "C:UC*.PDB"; 0 for a bare name.
std::size_t folderLength(std::string_view argument) {
  const std::size_t separator = argument.find_last_of(kBackslashParts ? "/\\" : "/");
  if (separator != std::string_view::npos) return separator + 1;
  if (kBackslashParts && argument.size() >= 2 && argument[1] == ':') return 2;
  return 0;
}

void expandInto(const std::string& pattern, std::vector<std::string>& files) {
  const std::size_t split = folderLength(pattern);
  const std::string folder = pattern.substr(0, split);
  const std::string namePattern = foldCase(std::string_view(pattern).substr(split));
  if (isFilePattern(folder)) {
    throw UsageError{"'" + pattern +
                     "': wildcards are taken in the file name, not in the folder's"};
  }
  std::vector<std::pair<std::string, std::string>> found;  // folded name, name
  std::error_code ec;
  const fs::path listed = folder.empty() ? fs::path(".") : argumentPath(folder);
  for (fs::directory_iterator it(listed, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    std::string name = argumentText(it->path().filename());
    std::string folded = foldCase(name);
    if (matchFolded(folded, namePattern)) found.emplace_back(std::move(folded), std::move(name));
  }
  if (found.empty()) throw UsageError{"no file matches '" + pattern + "'"};
  std::sort(found.begin(), found.end());
  for (const auto& [folded, name] : found) files.push_back(folder + name);
}

// The prefix of a path in Windows' own namespaces, "\\?\" and "\\.\",
// whose '?' or '.' is no wildcard.
std::size_t namespacePrefixLength(std::string_view argument) {
  const bool prefixed = kBackslashParts && argument.size() >= 4 && argument[0] == '\\' &&
                        argument[1] == '\\' && (argument[2] == '?' || argument[2] == '.') &&
                        argument[3] == '\\';
  return prefixed ? 4 : 0;
}

}  // namespace

bool isFilePattern(std::string_view name) {
  return name.find_first_of("*?", namespacePrefixLength(name)) != std::string_view::npos;
}

bool matchesFilePattern(std::string_view name, std::string_view pattern) {
  return matchFolded(foldCase(name), foldCase(pattern));
}

std::vector<std::string> expandFilePatterns(const std::vector<std::string>& arguments) {
  std::vector<std::string> files;
  for (const std::string& argument : arguments) {
    if (isFilePattern(argument)) {
      expandInto(argument, files);
    } else {
      files.push_back(argument);
    }
  }
  return files;
}

}  // namespace kestrix::cli
