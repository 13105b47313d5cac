#include "Form1.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <exception>
#include <system_error>

#include "error.hpp"
#include "limits.hpp"
#include "path_text.hpp"
#include "save_dialog.hpp"
#include "startup.hpp"

namespace fs = std::filesystem;

// The icon lives in this library's resources, which a static library must
// register itself.
static QIcon windowIconFromResources() {
  Q_INIT_RESOURCE(kestrix);
  return QIcon(QStringLiteral(":/kestrix/kestrix.png"));
}

namespace kestrix::ui {
namespace {

// Positions and sizes are kept in twips, as the layout was drawn: 15 to a pixel.
QRect twips(int left, int top, int width, int height) {
  return QRect(left / 15, top / 15, width / 15, height / 15);
}

QStringList windowFamilies() {
  return {QStringLiteral("MS Sans Serif"),   QStringLiteral("Microsoft Sans Serif"),
          QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
          QStringLiteral("Arial"),           QStringLiteral("Helvetica"),
          QStringLiteral("Nimbus Sans")};
}

QFont fontWithFallback(const QStringList& families, double points, bool bold, bool italic) {
  QFont font;
  font.setFamilies(families);
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(points);
  font.setBold(bold);
  font.setItalic(italic);
  return font;
}

// A fallback font may run wider than the one the layout was drawn for: then
// the caption is made a little smaller rather than cut off.
void shrinkToFit(QWidget* widget) {
  QFont font = widget->font();
  while (widget->sizeHint().width() > widget->width() && font.pointSizeF() > 6.5) {
    font.setPointSizeF(font.pointSizeF() - 0.25);
    widget->setFont(font);
  }
}

}  // namespace

Form1::Form1(Options options)
    : controller_(options.outputDir.empty() ? programDirectory() : std::move(options.outputDir),
                  std::move(options.regional), std::move(options.folderCheck)) {
  // The chart window's "Table as XLSX…": the workbook of the cells it shows.
  // Its progress shows in the status box, as a run's does.
  xlsxExport_ = [this](const TableValues& table, const fs::path& target, RowRange rows,
                       const std::vector<LimitRule>* rules, std::optional<PeriodKind> periods) {
    try {
      controller_.writeWorkbook(
          table, target, rows, rules,
          [this](int percent) {
            statusBox->setText(QStringLiteral("Workbook: %1%").arg(percent));
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
          },
          periods);
    } catch (...) {
      statusBox->setText(QStringLiteral("Workbook not written"));
      throw;
    }
    statusBox->setText(QStringLiteral("Workbook written to ") + displayName(target));
  };
  buildControls();
  std::error_code ec;
  fs::path start = options.startDir.empty() ? fs::current_path(ec) : options.startDir;
  if (start.empty()) start = "/";
  setPath(start);
}

void Form1::buildControls() {
  setWindowTitle(QStringLiteral("ULMACORDER"));
  setWindowIcon(windowIconFromResources());
  resize(448, 522);
  // The layout was drawn for a small sans serif of 8.25 points; a wider
  // font would run captions into their neighbours.
  setFont(fontWithFallback(windowFamilies(), 8.25, false, false));

  driveList = new QComboBox(this);
  driveList->setGeometry(twips(240, 120, 3735, 315));

  folderList = new QListWidget(this);
  folderList->setGeometry(twips(240, 480, 3735, 5490));
  folderList->setSelectionMode(QAbstractItemView::SingleSelection);

  fileList = new QListWidget(this);
  fileList->setGeometry(twips(4080, 360, 2535, 5550));
  fileList->setSelectionMode(QAbstractItemView::ExtendedSelection);

  brandLabel = new QLabel(QStringLiteral("NORDAVEX"), this);
  brandLabel->setGeometry(twips(4680, 0, 1815, 375));
  brandLabel->setFont(
      fontWithFallback({QStringLiteral("Comic Sans MS"), QStringLiteral("Comic Neue"),
                        QStringLiteral("Comic Relief")},
                       12, true, true));
  QPalette blue = brandLabel->palette();
  blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
  brandLabel->setPalette(blue);

  statusBox = new QLineEdit(this);
  statusBox->setGeometry(twips(360, 6000, 6255, 375));

  clipboardOption = new QCheckBox(QStringLiteral("Copy data to clipboard"), this);
  clipboardOption->setGeometry(twips(240, 6600, 2055, 255));
  clipboardOption->setChecked(true);

  clipboardNote = new QLabel(QStringLiteral("(To be pasted in a spreadsheet)"), this);
  clipboardNote->setGeometry(twips(2280, 6600, 2295, 255));

  overflowOption = new QCheckBox(QStringLiteral("Include all overflowed data"), this);
  overflowOption->setGeometry(twips(240, 6960, 3255, 255));

  // In the free room under the overflow option.
  joinOption = new QCheckBox(QStringLiteral("Join downloads of each logger"), this);
  joinOption->setGeometry(twips(240, 7215, 3735, 225));

  makeButton = new QPushButton(QStringLiteral("MAKE"), this);
  makeButton->setGeometry(twips(5400, 6480, 1215, 495));

  exitButton = new QPushButton(QStringLiteral("EXIT"), this);
  exitButton->setGeometry(twips(5400, 6960, 1215, 495));

  // In the free room left of EXIT; usable once a run has succeeded.
  chartButton = new QPushButton(QStringLiteral("&CHART"), this);
  chartButton->setGeometry(twips(4080, 6960, 1215, 495));
  chartButton->setEnabled(false);
  chartButton->setToolTip(
      QStringLiteral("Shows the last table as a chart, with a summary per channel"));

  patternLabel =
      new QLabel(QStringLiteral("Files to convert must have a name such as :  UC***.PDB"), this);
  patternLabel->setGeometry(twips(240, 7440, 5535, 255));

  versionLabel = new QLabel(QStringLiteral("Kestrix V2.14  8/2014"), this);
  versionLabel->setGeometry(twips(4680, 7560, 1935, 255));
  versionLabel->setFont(fontWithFallback(windowFamilies(), 8.25, false, true));

  clipboardOption->setToolTip(
      QStringLiteral("Puts the table on the clipboard as well, ready to paste into a spreadsheet "
                     "(not a table longer than a spreadsheet holds)"));
  overflowOption->setToolTip(
      QStringLiteral("Shows the values of the samples marked \"overflow\" only for safety; "
                     "samples the logger's memory has overwritten stay \"overflow\""));
  joinOption->setToolTip(
      QStringLiteral("Makes one column of the downloads of each logger (same logger, type, "
                     "calibration and interval): where downloads overlap, the newest one's value, "
                     "and an older download fills what a newer one lost; up to %1 files")
          .arg(limits::maxJoinedFiles));
  // The status box may hold more than it shows.
  connect(statusBox, &QLineEdit::textChanged, statusBox, &QLineEdit::setToolTip);
  // A status longer than the box shows its start, not its end.
  connect(statusBox, &QLineEdit::textChanged, statusBox,
          [this] { statusBox->setCursorPosition(0); });

  // The controls' object names are their public face: tests and accessibility
  // tools find them by these.
  const std::pair<QWidget*, const char*> names[] = {
      {driveList, "Drive1"},      {folderList, "Dir1"},     {fileList, "File1"},
      {patternLabel, "Label1"},   {brandLabel, "Label2"},   {clipboardNote, "Label3"},
      {versionLabel, "Label4"},   {statusBox, "etat"},      {clipboardOption, "Check1"},
      {overflowOption, "Check2"}, {joinOption, "Check3"},   {makeButton, "Command1"},
      {exitButton, "Command2"},   {chartButton, "Command3"}};
  for (const auto& [widget, name] : names) widget->setObjectName(QLatin1String(name));

  for (QLabel* label : {patternLabel, brandLabel, clipboardNote, versionLabel})
    label->setFocusPolicy(Qt::NoFocus);
  for (QWidget* captioned :
       std::initializer_list<QWidget*>{patternLabel, brandLabel, clipboardNote, versionLabel,
                                       clipboardOption, overflowOption, joinOption})
    shrinkToFit(captioned);

  // Keyboard order: the file list first, so it has the focus at start.
  const QWidget* chain[] = {fileList,   folderList,  driveList,       statusBox,      makeButton,
                            exitButton, chartButton, clipboardOption, overflowOption, joinOption};
  for (std::size_t i = 0; i + 1 < std::size(chain); ++i)
    QWidget::setTabOrder(const_cast<QWidget*>(chain[i]), const_cast<QWidget*>(chain[i + 1]));
  fileList->setFocus();

  browser_ = new FolderBrowser(driveList, folderList, fileList, this);
  browser_->onPathChanged = [this] { showTableFolder(); };
  connect(fileList, &QListWidget::itemDoubleClicked, this, [this] { make(); });
  connect(makeButton, &QPushButton::clicked, this, [this] { make(); });
  connect(exitButton, &QPushButton::clicked, this, [this] { exitProgram(); });
  connect(chartButton, &QPushButton::clicked, this, [this] { openChart(); });
}

void Form1::make() {
  if (running_) return;

  std::vector<std::string> names = browser_->selectedFiles();
  if (names.empty()) {
    statusBox->setText(QStringLiteral("No file selected"));
    return;
  }
  const bool join = joinOption->isChecked();
  const int maxFiles = join ? limits::maxJoinedFiles : limits::maxFiles;
  if (names.size() > static_cast<std::size_t>(maxFiles)) {
    QString message = QStringLiteral("%1 files selected; at most %2 can be converted at once")
                          .arg(names.size())
                          .arg(maxFiles);
    if (!join && names.size() <= static_cast<std::size_t>(limits::maxJoinedFiles))
      message += QStringLiteral(" (%1 when joining the downloads of each logger)")
                     .arg(limits::maxJoinedFiles);
    fail(message);
    return;
  }

  if (!controller_.tableTarget(path()) && !chooseTableFile()) {
    statusBox->setText(QStringLiteral("No file chosen for the table: nothing converted"));
    return;
  }

  running_ = true;
  cancelRequested_ = false;
  lastRun_.reset();
  chartButton->setEnabled(false);
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{running_};

  statusBox->setText(QStringLiteral("..."));
  QCoreApplication::processEvents();
  if (cancelRequested_) return;

  const RunChoices choices{clipboardOption->isChecked(), overflowOption->isChecked(), join};
  const RunOutcome outcome =
      controller_.run(path(), std::move(names), choices, [this](int percent) {
        statusBox->setText(QString::number(percent) + QLatin1Char('%'));
        QCoreApplication::processEvents();
        return !cancelRequested_;
      });
  switch (outcome.end) {
    case RunOutcome::End::Cancelled:
      return;
    case RunOutcome::End::Failed:
      fail(outcome.status);
      return;
    case RunOutcome::End::Converted:
      showOutcome(outcome);
      return;
  }
}

void Form1::showOutcome(const RunOutcome& outcome) {
  // The clipboard option counts as it stands at the end of the run.
  const bool copy = clipboardOption->isChecked();
  QString status = outcome.status;
  if (copy && outcome.clipboardTooLarge) status += QStringLiteral(" (too large for the clipboard)");
  statusBox->setText(status);
  statusBox->setToolTip(outcome.details);
  lastRun_ = outcome.run;
  lastRunFolder_ = path();
  lastRunOverflowed_ = outcome.includeOverflowed;
  if (chart_) chart_->close();  // it showed the run before; it deletes itself
  chart_ = nullptr;
  chartButton->setEnabled(lastRun_ != nullptr);
  repaint();
  if (copy && outcome.clipboardText) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(*outcome.clipboardText);
  }
  if (!outcome.warning.isEmpty()) tell(outcome.warning, QMessageBox::Warning);
}

Form1::~Form1() {
  delete chart_;
}

void Form1::exitProgram() {
  QGuiApplication::clipboard()->clear();
  cancelRequested_ = true;
  close();
  QCoreApplication::quit();
}

void Form1::openChart() {
  if (!lastRun_ || running_) return;
  if (!chart_) {
    try {
      chart_ =
          new ChartWindow(std::make_shared<const chart::ChartData>(lastRun_, lastRunOverflowed_));
    } catch (const std::exception& e) {
      fail(QStringLiteral("Error: ") + QString::fromUtf8(e.what()));
      return;
    }
    chart_->setAttribute(Qt::WA_DeleteOnClose);
    chart_->setXlsxExport(xlsxExport_);
    chart_->setSaveFolder(lastRunFolder_);
    chart_->setMessageHandler(messageHandler_);
    chart_->loadUserLimits();
  }
  chart_->show();
  chart_->raise();
  chart_->activateWindow();
}

void Form1::closeEvent(QCloseEvent* event) {
  // A run in progress stops at its next progress point; its table is not kept.
  cancelRequested_ = true;
  if (chart_) chart_->close();
  event->accept();
}

void Form1::fail(const QString& message) {
  statusBox->setText(message);
  tell(message, QMessageBox::Critical);
}

void Form1::tell(const QString& message, QMessageBox::Icon icon) {
  if (messageHandler_) {
    messageHandler_(message);
    return;
  }
  // A long list (hundreds of files) goes into the box's details, which
  // scroll, so that the box and its button stay on the screen.
  constexpr int kLinesShown = 12;
  const QStringList lines = message.split(QLatin1Char('\n'));
  QString shown = message;
  if (lines.size() > kLinesShown) {
    shown = QStringList(lines.mid(0, kLinesShown - 2)).join(QLatin1Char('\n')) +
            QStringLiteral("\n\u2026 and %1 more lines: see Show Details")
                .arg(lines.size() - kLinesShown + 2);
  }
  QMessageBox box(icon, windowTitle(), shown, QMessageBox::Ok, this);
  if (shown != message) box.setDetailedText(message);
  box.exec();
}

void Form1::showTableFolder() {
  const std::optional<fs::path> target = controller_.tableTarget(path());
  makeButton->setToolTip(
      target ? QStringLiteral("Writes the table to ") + displayName(*target)
             : QStringLiteral("Neither the program's folder nor this folder can be written: "
                              "MAKE asks where the table goes"));
}

bool Form1::chooseTableFile() {
  statusBox->setText(
      QStringLiteral("Neither the program's folder nor the logger files' folder can be written"));
  const QString suggested =
      QDir::home().filePath(QFile::decodeName(QByteArray::fromStdString(controller_.outputName())));
  const std::optional<fs::path> file =
      askForSaveFile(this, QStringLiteral("Save the table"), QStringLiteral("Table (*.txt)"),
                     suggested, [this](const fs::path& target) {
                       const fs::path folder = target.parent_path();
                       if (!controller_.canWrite(folder))
                         throw ConversionError(ErrorKind::CannotWrite, target.string(),
                                               "cannot create a file in " + folder.string());
                     });
  if (!file) return false;
  controller_.setChosenTable(*file);
  showTableFolder();
  return true;
}

}  // namespace kestrix::ui
