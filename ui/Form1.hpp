// The main window: drive, folder and file lists, options, status box, MAKE and EXIT.
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "chart_window.hpp"
#include "conversion_controller.hpp"
#include "folder_browser.hpp"
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
    std::filesystem::path startDir;  // the folder shown first; empty: the current one
    // Where tables go when it can be written (else the logger files'
    // folder); empty: the program's folder.
    std::filesystem::path outputDir;
    Regional regional;
    // Whether a folder takes new files; empty: the running user's rights.
    FolderCheck folderCheck;
  };

  explicit Form1(Options options);
  Form1() : Form1(Options{}) {}
  // The chart window, a window of its own without a parent, goes too.
  ~Form1() override;

  // The controls; their object names are the usual ones ("Drive1", "Dir1",
  // "File1", "Label1".."Label4", "etat", "Check1", "Check2", "Check3", "Command1", "Command2",
  // "Command3").
  QComboBox* driveList;
  QListWidget* folderList;
  QListWidget* fileList;
  QLabel* patternLabel;
  QLabel* brandLabel;
  QLabel* clipboardNote;
  QLabel* versionLabel;
  QLineEdit* statusBox;
  QCheckBox* clipboardOption;
  QCheckBox* overflowOption;
  QCheckBox* joinOption;  // the downloads of each logger in one column
  QPushButton* makeButton;
  QPushButton* exitButton;
  QPushButton* chartButton;  // CHART: the last successful run's chart

  // MAKE: one conversion run over fileList's selected entries.
  void make();
  // EXIT: empties the clipboard and ends.
  void exitProgram();
  // CHART: opens (or raises) the chart window of the last successful run.
  void openChart();
  ChartWindow* chartWindow() const { return chart_; }
  // Offered by the chart window as "Table as XLSX…".
  void setXlsxExport(XlsxExport hook) { xlsxExport_ = std::move(hook); }

  // folderList's folder, which fileList shows.
  const std::filesystem::path& path() const noexcept { return browser_->path(); }
  // Moves folderList (and with it driveList and fileList) to `dir`.
  void setPath(const std::filesystem::path& dir) { browser_->setPath(dir); }
  // Selects exactly the named entries of fileList; false when one is missing.
  bool selectFiles(const QStringList& names) { return browser_->selectFiles(names); }

  const std::filesystem::path& outputDirectory() const noexcept {
    return controller_.outputDirectory();
  }
  void setOutputDirectory(std::filesystem::path dir) {
    controller_.setOutputDirectory(std::move(dir));
    showTableFolder();
  }
  const std::string& outputName() const noexcept { return controller_.outputName(); }
  void setOutputName(std::string name) {
    controller_.setOutputName(std::move(name));
    showTableFolder();
  }

  bool running() const noexcept { return running_; }

  // Where messages go (errors, differing intervals); by default a message box.
  void setMessageHandler(std::function<void(const QString&)> handler) {
    messageHandler_ = std::move(handler);
  }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildControls();
  // The outcome of a run in the status box, on the clipboard and told.
  void showOutcome(const RunOutcome& outcome);
  // The message in the status box and told.
  void fail(const QString& message);
  void tell(const QString& message, QMessageBox::Icon icon);
  // MAKE's tooltip: where the table will go.
  void showTableFolder();
  // Where neither folder can be written: a save dialog for the table, from
  // the home folder; the choice serves until the program ends. False when
  // the user cancels.
  bool chooseTableFile();

  ConversionController controller_;
  FolderBrowser* browser_ = nullptr;
  std::function<void(const QString&)> messageHandler_;
  bool running_ = false;
  std::shared_ptr<const ConversionRun> lastRun_;
  bool lastRunOverflowed_ = false;
  std::filesystem::path lastRunFolder_;  // the folder of its logger files
  QPointer<ChartWindow> chart_;
  XlsxExport xlsxExport_;
  bool cancelRequested_ = false;
};

}  // namespace kestrix::ui
