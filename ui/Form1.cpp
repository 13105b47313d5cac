#include "Form1.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QStyle>
#include <QStyledItemDelegate>
#include <algorithm>
#include <exception>
#include <system_error>

#include "CStringBuilder.hpp"
#include "clipboard.hpp"
#include "convert_files.hpp"
#include "limits.hpp"
#include "places.hpp"
#include "run_warnings.hpp"
#include "startup.hpp"
#include "table.hpp"
#include "text.hpp"
#include "workbook_writer.hpp"

namespace fs = std::filesystem;

// The icon lives in this library's resources, which a static library must
// register itself.
static QIcon windowIconFromResources() {
  Q_INIT_RESOURCE(kestrix);
  return QIcon(QStringLiteral(":/kestrix/kestrix.png"));
}

namespace kestrix::ui {
namespace {

constexpr int pathRole = Qt::UserRole;
constexpr int depthRole = Qt::UserRole + 1;
constexpr int indentPixels = 12;

// Positions and sizes are kept in twips, as the layout was drawn: 15 to a pixel.
QRect twips(int left, int top, int width, int height) {
  return QRect(left / 15, top / 15, width / 15, height / 15);
}

QString displayName(const fs::path& p) {
  return QFile::decodeName(QByteArray(p.c_str()));
}

QByteArray pathBytes(const fs::path& p) {
  return QByteArray(p.c_str());
}

fs::path itemPath(const QListWidgetItem* item) {
  return fs::path(item->data(pathRole).toByteArray().toStdString());
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

// Thrown from the progress report when the user ends the program mid-run.
struct RunCancelled {};

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

// Names each file whose sampling interval differs from the one that served.
QString intervalsMessage(const ConversionRun& run) {
  QStringList lines;
  for (const std::string& line : runWarnings(run).intervals)
    lines << QFile::decodeName(line.c_str());
  if (lines.isEmpty()) return {};
  lines.front()[0] = lines.front()[0].toUpper();  // the finding heads the message
  lines.front() += QLatin1Char(':');
  return lines.join(QLatin1Char('\n'));
}

}  // namespace

Form1::Form1(Options options)
    : outputDir_(options.outputDir.empty() ? programDirectory() : std::move(options.outputDir)),
      outputName_(defaultOutputName),
      regional_(std::move(options.regional)) {
  // The chart window's "Table as XLSX…": the workbook of the cells it shows.
  // Its progress shows in the status box, as a run's does.
  xlsxExport_ = [this](const TableValues& table, const fs::path& target) {
    WorkbookOptions workbook;
    workbook.includeOverflowed = table.includesOverflowed();
    workbook.progress = [this](int percent) {
      statusBox->setText(QStringLiteral("Workbook: %1%").arg(percent));
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    try {
      writeWorkbook(table.run(), target, workbook);
    } catch (...) {
      statusBox->setText(QStringLiteral("Workbook not written"));
      throw;
    }
    statusBox->setText(QStringLiteral("Workbook written to ") + displayName(target));
  };
  buildControls();
  fillDrives();
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
  folderList->setItemDelegate(new IndentDelegate(folderList));

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
  // The status box may hold more than it shows.
  connect(statusBox, &QLineEdit::textChanged, statusBox, &QLineEdit::setToolTip);

  // The controls' object names are their public face: tests and accessibility
  // tools find them by these.
  const std::pair<QWidget*, const char*> names[] = {
      {driveList, "Drive1"},      {folderList, "Dir1"},     {fileList, "File1"},
      {patternLabel, "Label1"},   {brandLabel, "Label2"},   {clipboardNote, "Label3"},
      {versionLabel, "Label4"},   {statusBox, "etat"},      {clipboardOption, "Check1"},
      {overflowOption, "Check2"}, {makeButton, "Command1"}, {exitButton, "Command2"},
      {chartButton, "Command3"}};
  for (const auto& [widget, name] : names) widget->setObjectName(QLatin1String(name));

  for (QLabel* label : {patternLabel, brandLabel, clipboardNote, versionLabel})
    label->setFocusPolicy(Qt::NoFocus);
  for (QWidget* captioned : std::initializer_list<QWidget*>{
           patternLabel, brandLabel, clipboardNote, versionLabel, clipboardOption, overflowOption})
    shrinkToFit(captioned);

  // Keyboard order: the file list first, so it has the focus at start.
  const QWidget* chain[] = {fileList,   folderList,  driveList,       statusBox,     makeButton,
                            exitButton, chartButton, clipboardOption, overflowOption};
  for (std::size_t i = 0; i + 1 < std::size(chain); ++i)
    QWidget::setTabOrder(const_cast<QWidget*>(chain[i]), const_cast<QWidget*>(chain[i + 1]));
  fileList->setFocus();

  connect(driveList, &QComboBox::currentIndexChanged, this,
          [this](int index) { driveChosen(index); });
  // The list is rebuilt on a folder change, so the change waits until the
  // activation signal has returned.
  connect(folderList, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    const fs::path target = itemPath(item);
    QMetaObject::invokeMethod(
        this, [this, target] { setPath(target); }, Qt::QueuedConnection);
  });
  connect(fileList, &QListWidget::itemDoubleClicked, this, [this] { make(); });
  connect(makeButton, &QPushButton::clicked, this, [this] { make(); });
  connect(exitButton, &QPushButton::clicked, this, [this] { exitProgram(); });
  connect(chartButton, &QPushButton::clicked, this, [this] { openChart(); });
}

void Form1::fillDrives() {
  volumes_ = offeredPlaces();
  lastVisited_.clear();
  const QSignalBlocker quiet(driveList);
  driveList->clear();
  for (const Volume& volume : volumes_) {
    lastVisited_.push_back(volume.mountPoint);
    const QString point = displayName(volume.mountPoint);
    const QString name = QString::fromStdString(volume.name);
    driveList->addItem(
        name.isEmpty() || name == point ? point : QStringLiteral("%1  (%2)").arg(name, point),
        pathBytes(volume.mountPoint));
  }
}

void Form1::driveChosen(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= volumes_.size()) return;
  setPath(lastVisited_[static_cast<std::size_t>(index)]);
}

void Form1::setPath(const fs::path& dir) {
  std::error_code ec;
  fs::path target = fs::weakly_canonical(fs::absolute(dir, ec), ec);
  if (ec || target.empty()) target = dir.lexically_normal();
  // A folder that has gone away: show the nearest one that is still there.
  while (!fs::is_directory(target, ec) && target.has_relative_path()) target = target.parent_path();
  dirPath_ = target;

  volume_ = volumeHolding(volumes_, dirPath_);
  if (volume_ < 0) {
    volumes_.insert(volumes_.begin(), Volume{"/", ""});
    lastVisited_.insert(lastVisited_.begin(), "/");
    const QSignalBlocker quiet(driveList);
    driveList->insertItem(0, QStringLiteral("/"), QByteArray("/"));
    volume_ = 0;
  }
  lastVisited_[static_cast<std::size_t>(volume_)] = dirPath_;
  {
    const QSignalBlocker quiet(driveList);
    driveList->setCurrentIndex(volume_);
  }
  fillFolders();
  fillFiles();
  showTableFolder();
}

void Form1::fillFolders() {
  const fs::path& root = volumes_[static_cast<std::size_t>(volume_)].mountPoint;
  std::vector<fs::path> chain;
  for (fs::path step = dirPath_;; step = step.parent_path()) {
    chain.push_back(step);
    if (step == root || !step.has_relative_path()) break;
  }
  std::reverse(chain.begin(), chain.end());

  const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
  folderList->clear();
  int depth = 0;
  for (const fs::path& step : chain) {
    auto* item = new QListWidgetItem(
        open, depth == 0 ? displayName(step) : displayName(step.filename()), folderList);
    item->setData(pathRole, pathBytes(step));
    item->setData(depthRole, depth++);
  }
  QListWidgetItem* current = folderList->item(folderList->count() - 1);
  for (const std::string& name : subfoldersOf(dirPath_)) {
    auto* item = new QListWidgetItem(closed, QFile::decodeName(name.c_str()), folderList);
    item->setData(pathRole, pathBytes(dirPath_ / name));
    item->setData(depthRole, depth);
  }
  folderList->setCurrentItem(current);
}

void Form1::fillFiles() {
  fileList->clear();
  for (const std::string& name : loggerFilesIn(dirPath_)) {
    auto* item = new QListWidgetItem(QFile::decodeName(name.c_str()), fileList);
    item->setData(pathRole, QByteArray(name.c_str()));
  }
}

bool Form1::selectFiles(const QStringList& names) {
  fileList->clearSelection();
  bool all = true;
  for (const QString& name : names) {
    const auto found = fileList->findItems(name, Qt::MatchExactly);
    if (found.isEmpty()) {
      all = false;
      continue;
    }
    found.front()->setSelected(true);
    fileList->setCurrentItem(found.front(), QItemSelectionModel::Current);
  }
  return all;
}

void Form1::make() {
  if (running_) return;

  std::vector<std::string> names;
  for (int i = 0; i < fileList->count(); ++i)
    if (fileList->item(i)->isSelected())
      names.push_back(fileList->item(i)->data(pathRole).toByteArray().toStdString());
  if (names.empty()) {
    statusBox->setText(QStringLiteral("No file selected"));
    return;
  }
  if (names.size() > static_cast<std::size_t>(limits::maxFiles)) {
    fail(QStringLiteral("%1 files selected; at most %2 can be converted at once")
             .arg(names.size())
             .arg(limits::maxFiles));
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

  CStringBuilder clip;
  ConversionRequest request;
  for (const std::string& name : names) request.paths.push_back(dirPath_ / name);
  request.displayNames = std::move(names);
  // Read into memory rather than mapped: a file cut short by another program
  // meanwhile then reads as a shorter file instead of ending the program.
  request.reader = readIntoMemory;
  request.options.regional = regional_;
  request.options.includeOverflowed = overflowOption->isChecked();
  request.clipboardText = clipboardOption->isChecked() ? &clip : nullptr;
  request.clipboardMaxLines = clipboardMaxLines;
  request.options.progress = [this](int percent) {
    statusBox->setText(QString::number(percent) + QLatin1Char('%'));
    QCoreApplication::processEvents();
    if (cancelRequested_) throw RunCancelled{};
  };

  ConversionResult result;
  try {
    request.target = tableFolder(outputDir_, dirPath_) / outputName_;
    result = convertFiles(request);
  } catch (const RunCancelled&) {
    return;
  } catch (const std::exception& e) {
    fail(QStringLiteral("Error: ") + QString::fromUtf8(e.what()));
    return;
  }

  // The clipboard option counts as it stands at the end of the run.
  const bool copy = request.clipboardText != nullptr && clipboardOption->isChecked();
  QString status = QString::fromStdString(result.status) + QStringLiteral(" written to ") +
                   displayName(request.target);
  if (copy && result.clipboardTooLarge) status += QStringLiteral(" (too large for the clipboard)");
  statusBox->setText(status);
  QStringList details{status};
  for (const std::string& line : runWarnings(*result.run).inconsistentFiles)
    details << QFile::decodeName(line.c_str());
  statusBox->setToolTip(details.join(QLatin1Char('\n')));
  lastRun_ = result.run;
  lastRunFolder_ = dirPath_;
  lastRunOverflowed_ = request.options.includeOverflowed;
  if (chart_) chart_->close();  // it showed the run before; it deletes itself
  chart_ = nullptr;
  chartButton->setEnabled(lastRun_ != nullptr);
  repaint();
  if (copy && !result.clipboardTooLarge) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(QString::fromUtf8(windows1252ToUtf8(clip.ToString())));
  }
  if (result.run->intervalsDiffer()) tell(intervalsMessage(*result.run), QMessageBox::Warning);
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
      chart_ = new ChartWindow(std::make_shared<const ChartData>(lastRun_, lastRunOverflowed_));
    } catch (const std::exception& e) {
      fail(QStringLiteral("Error: ") + QString::fromUtf8(e.what()));
      return;
    }
    chart_->setAttribute(Qt::WA_DeleteOnClose);
    chart_->setXlsxExport(xlsxExport_);
    chart_->setSaveFolder(lastRunFolder_);
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
  QMessageBox box(icon, windowTitle(), message, QMessageBox::Ok, this);
  box.exec();
}

void Form1::showTableFolder() {
  QString tip;
  try {
    tip = QStringLiteral("Writes the table to ") +
          displayName(tableFolder(outputDir_, dirPath_) / outputName_);
  } catch (const std::exception& e) {
    tip = QString::fromUtf8(e.what());
  }
  makeButton->setToolTip(tip);
}

}  // namespace kestrix::ui
