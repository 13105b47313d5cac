// The window's drive, folder and file lists, kept in step: choosing a drive
// shows the folder last visited on it, opening a folder lists its subfolders
// and its logger files.
#pragma once

#include <QObject>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "folders.hpp"

class QComboBox;
class QListWidget;

namespace kestrix::ui {

class FolderBrowser : public QObject {
 public:
  // Fills `drives` with the offered places and works the three lists from
  // then on; they stay the caller's widgets.
  FolderBrowser(QComboBox* drives, QListWidget* folders, QListWidget* files, QObject* parent);

  // The folder whose logger files the file list shows.
  const std::filesystem::path& path() const noexcept { return folder_; }
  // Moves the folder list (and with it the drive and file lists) to `dir`,
  // or to the nearest folder above it that is still there.
  void setPath(const std::filesystem::path& dir);

  // Selects exactly the named entries of the file list; false when one is missing.
  bool selectFiles(const QStringList& names);
  // The selected files' names as the system spells them, in the list's order.
  std::vector<std::string> selectedFiles() const;

  // Called after every move to another folder.
  std::function<void()> onPathChanged;

 private:
  void fillDrives();
  void driveChosen(int index);
  void fillFolders();
  void fillFiles();

  QComboBox* drives_;
  QListWidget* folders_;
  QListWidget* files_;
  std::vector<Volume> volumes_;
  std::vector<std::filesystem::path> lastVisited_;  // per volume
  int volume_ = -1;
  std::filesystem::path folder_;
};

}  // namespace kestrix::ui
