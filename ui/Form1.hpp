// The main window: drive, folder and file lists, options, status box, MAKE and EXIT.
#pragma once

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "chart_window.hpp"
#include "folders.hpp"
#include "regional.hpp"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kestrix::ui {

class Form1 : public QWidget {
 public:
  struct Options {
    std::filesystem::path startDir;   // the folder shown first; empty: the current one
    // Where tables go when it can be written (else the logger files'
    // folder); empty: the program's folder.
    std::filesystem::path outputDir;
    Regional regional;
  };

  explicit Form1(Options options);
  Form1() : Form1(Options{}) {}

  // The controls, under their usual names.
  QComboBox* Drive1;
  QListWidget* Dir1;
  QListWidget* File1;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label4;
  QLineEdit* etat;
  QCheckBox* Check1;
  QCheckBox* Check2;
  QPushButton* Command1;
  QPushButton* Command2;
  QPushButton* Command3;  // CHART: the last successful run's chart

  // MAKE: one conversion run over File1's selected entries.
  void Command1_Click();
  // EXIT: empties the clipboard and ends.
  void Command2_Click();
  // CHART: opens (or raises) the chart window of the last successful run.
  void Command3_Click();
  ChartWindow* chartWindow() const { return chart_; }
  // Offered by the chart window as "Table as XLSX…".
  void setXlsxExport(XlsxExport hook) { xlsxExport_ = std::move(hook); }

  // Dir1's folder, which File1 shows.
  const std::filesystem::path& path() const noexcept { return dirPath_; }
  // Moves Dir1 (and with it Drive1 and File1) to `dir`.
  void setPath(const std::filesystem::path& dir);
  // Selects exactly the named entries of File1; false when one is missing.
  bool selectFiles(const QStringList& names);

  const std::filesystem::path& outputDirectory() const noexcept { return outputDir_; }
  void setOutputDirectory(std::filesystem::path dir) { outputDir_ = std::move(dir); }
  const std::string& outputName() const noexcept { return outputName_; }
  void setOutputName(std::string name) { outputName_ = std::move(name); }

  bool running() const noexcept { return running_; }

  // Where error messages go; by default a message box.
  void setMessageHandler(std::function<void(const QString&)> handler) {
    messageHandler_ = std::move(handler);
  }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildControls();
  void fillDrives();
  void driveChosen(int index);
  void fillFolders();
  void fillFiles();
  void fail(const QString& message);

  std::vector<Volume> volumes_;
  std::vector<std::filesystem::path> lastVisited_;  // per volume
  int volume_ = -1;
  std::filesystem::path dirPath_;
  std::filesystem::path outputDir_;
  std::string outputName_;
  Regional regional_;
  std::function<void(const QString&)> messageHandler_;
  bool running_ = false;
  std::shared_ptr<const ConversionRun> lastRun_;
  bool lastRunOverflowed_ = false;
  QPointer<ChartWindow> chart_;
  XlsxExport xlsxExport_;
  bool cancelRequested_ = false;
};

}  // namespace kestrix::ui
