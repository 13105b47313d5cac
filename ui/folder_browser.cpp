#include "folder_browser.hpp"

#include <QComboBox>
#include <QListWidget>
#include <QStyle>
#include <QStyledItemDelegate>
#include <algorithm>
#include <system_error>

#include "path_text.hpp"
#include "places.hpp"

namespace fs = std::filesystem;

namespace kestrix::ui {
namespace {

constexpr int pathRole = Qt::UserRole;
constexpr int depthRole = Qt::UserRole + 1;
constexpr int indentPixels = 12;

fs::path itemPath(const QListWidgetItem* item) {
  return pathFromBytes(item->data(pathRole).toByteArray());
}

// Shifts each entry of the folder list right by its depth in the chain.
class IndentDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem shifted(option);
    shifted.rect.setLeft(option.rect.left() + index.data(depthRole).toInt() * indentPixels);
    QStyledItemDelegate::paint(painter, shifted, index);
  }
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.rwidth() += index.data(depthRole).toInt() * indentPixels;
    return size;
  }
};

}  // namespace

FolderBrowser::FolderBrowser(QComboBox* drives, QListWidget* folders, QListWidget* files,
                             QObject* parent)
    : QObject(parent), drives_(drives), folders_(folders), files_(files) {
  folders_->setItemDelegate(new IndentDelegate(folders_));
  fillDrives();
  connect(drives_, &QComboBox::currentIndexChanged, this,
          [this](int index) { driveChosen(index); });
  // The list is rebuilt on a folder change, so the change waits until the
  // activation signal has returned.
  connect(folders_, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    const fs::path target = itemPath(item);
    QMetaObject::invokeMethod(
        this, [this, target] { setPath(target); }, Qt::QueuedConnection);
  });
}

void FolderBrowser::fillDrives() {
  volumes_ = offeredPlaces();
  lastVisited_.clear();
  const QSignalBlocker quiet(drives_);
  drives_->clear();
  for (const Volume& volume : volumes_) {
    lastVisited_.push_back(volume.mountPoint);
    const QString point = displayName(volume.mountPoint);
    const QString name = QString::fromStdString(volume.name);
    drives_->addItem(
        name.isEmpty() || name == point ? point : QStringLiteral("%1  (%2)").arg(name, point),
        pathBytes(volume.mountPoint));
  }
}

void FolderBrowser::driveChosen(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= volumes_.size()) return;
  setPath(lastVisited_[static_cast<std::size_t>(index)]);
}

void FolderBrowser::setPath(const fs::path& dir) {
  std::error_code ec;
  fs::path target = fs::weakly_canonical(fs::absolute(dir, ec), ec);
  if (ec || target.empty()) target = dir.lexically_normal();
  // A folder that has gone away: show the nearest one that is still there.
  while (!fs::is_directory(target, ec) && target.has_relative_path()) target = target.parent_path();
  folder_ = target;

  volume_ = volumeHolding(volumes_, folder_);
  if (volume_ < 0) {
    volumes_.insert(volumes_.begin(), Volume{"/", ""});
    lastVisited_.insert(lastVisited_.begin(), "/");
    const QSignalBlocker quiet(drives_);
    drives_->insertItem(0, QStringLiteral("/"), QByteArray("/"));
    volume_ = 0;
  }
  lastVisited_[static_cast<std::size_t>(volume_)] = folder_;
  {
    const QSignalBlocker quiet(drives_);
    drives_->setCurrentIndex(volume_);
  }
  fillFolders();
  fillFiles();
  if (onPathChanged) onPathChanged();
}

void FolderBrowser::fillFolders() {
  const fs::path& root = volumes_[static_cast<std::size_t>(volume_)].mountPoint;
  std::vector<fs::path> chain;
  for (fs::path step = folder_;; step = step.parent_path()) {
    chain.push_back(step);
    if (step == root || !step.has_relative_path()) break;
  }
  std::reverse(chain.begin(), chain.end());

  const QIcon open = folders_->style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closed = folders_->style()->standardIcon(QStyle::SP_DirClosedIcon);
  folders_->clear();
  int depth = 0;
  for (const fs::path& step : chain) {
    auto* item = new QListWidgetItem(
        open, depth == 0 ? displayName(step) : displayName(step.filename()), folders_);
    item->setData(pathRole, pathBytes(step));
    item->setData(depthRole, depth++);
  }
  QListWidgetItem* current = folders_->item(folders_->count() - 1);
  for (const std::string& name : subfoldersOf(folder_)) {
    auto* item = new QListWidgetItem(closed, QFile::decodeName(name.c_str()), folders_);
    item->setData(pathRole, pathBytes(folder_ / name));
    item->setData(depthRole, depth);
  }
  folders_->setCurrentItem(current);
}

void FolderBrowser::fillFiles() {
  files_->clear();
  for (const std::string& name : loggerFilesIn(folder_)) {
    auto* item = new QListWidgetItem(QFile::decodeName(name.c_str()), files_);
    item->setData(pathRole, QByteArray(name.c_str()));
  }
}

bool FolderBrowser::selectFiles(const QStringList& names) {
  files_->clearSelection();
  bool all = true;
  for (const QString& name : names) {
    const auto found = files_->findItems(name, Qt::MatchExactly);
    if (found.isEmpty()) {
      all = false;
      continue;
    }
    found.front()->setSelected(true);
    files_->setCurrentItem(found.front(), QItemSelectionModel::Current);
  }
  return all;
}

std::vector<std::string> FolderBrowser::selectedFiles() const {
  std::vector<std::string> names;
  for (int i = 0; i < files_->count(); ++i)
    if (files_->item(i)->isSelected())
      names.push_back(files_->item(i)->data(pathRole).toByteArray().toStdString());
  return names;
}

}  // namespace kestrix::ui
