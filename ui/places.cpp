#include "places.hpp"

#include <QDir>
#include <QFile>
#include <QStorageInfo>
#include <algorithm>
#include <system_error>

#include "path_text.hpp"

namespace fs = std::filesystem;

namespace kestrix::ui {
namespace {

fs::path localPath(const QString& path) {
  return pathOf(path);
}

}  // namespace

std::vector<Volume> offeredPlaces() {
  std::vector<Volume> places;
  std::error_code ec;
  const fs::path home = fs::weakly_canonical(localPath(QDir::homePath()), ec);
  if (!ec && home.has_relative_path() && fs::is_directory(home, ec))
    places.push_back({home, "Home"});
  const std::size_t volumesFrom = places.size();
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    if (!volume.isValid() || !volume.isReady()) continue;
    const fs::path point = localPath(volume.rootPath());
    if (!holdsRealFiles(volume.device().toStdString(), volume.fileSystemType().toStdString(),
                        point))
      continue;
    const auto same = [&](const Volume& v) { return v.mountPoint == point; };
    if (std::any_of(places.begin() + volumesFrom, places.end(), same)) continue;
    const Volume place{point, volume.displayName().toStdString()};
    if (point == "/")
      places.insert(places.begin() + volumesFrom, place);
    else
      places.push_back(place);
  }
  const auto isRoot = [](const Volume& v) { return v.mountPoint == "/"; };
  if (std::none_of(places.begin(), places.end(), isRoot))
    places.insert(places.begin() + volumesFrom, Volume{"/", ""});
  return places;
}

}  // namespace kestrix::ui
