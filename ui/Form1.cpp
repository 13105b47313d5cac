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

}  // namespace

Form1::Form1(Options options)
    : outputDir_(options.outputDir.empty() ? programDirectory() : std::move(options.outputDir)),
      outputName_(defaultOutputName),
      regional_(std::move(options.regional)) {
  // The chart window's "Table as XLSX…": the workbook of the cells it shows.
  xlsxExport_ = [](const TableValues& table, const fs::path& target) {
    WorkbookOptions workbook;
    workbook.includeOverflowed = table.includesOverflowed();
    writeWorkbook(table.run(), target, workbook);
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

  Drive1 = new QComboBox(this);
  Drive1->setGeometry(twips(240, 120, 3735, 315));

  Dir1 = new QListWidget(this);
  Dir1->setGeometry(twips(240, 480, 3735, 5490));
  Dir1->setSelectionMode(QAbstractItemView::SingleSelection);
  Dir1->setItemDelegate(new IndentDelegate(Dir1));

  File1 = new QListWidget(this);
  File1->setGeometry(twips(4080, 360, 2535, 5550));
  File1->setSelectionMode(QAbstractItemView::ExtendedSelection);

  Label2 = new QLabel(QStringLiteral("NORDAVEX"), this);
  Label2->setGeometry(twips(4680, 0, 1815, 375));
  Label2->setFont(fontWithFallback({QStringLiteral("Comic Sans MS"), QStringLiteral("Comic Neue"),
                                    QStringLiteral("Comic Relief")},
                                   12, true, true));
  QPalette blue = Label2->palette();
  blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
  Label2->setPalette(blue);

  etat = new QLineEdit(this);
  etat->setGeometry(twips(360, 6000, 6255, 375));

  Check1 = new QCheckBox(QStringLiteral("Copy data to clipboard"), this);
  Check1->setGeometry(twips(240, 6600, 2055, 255));
  Check1->setChecked(true);

  Label3 = new QLabel(QStringLiteral("(To be pasted in a spreadsheet)"), this);
  Label3->setGeometry(twips(2280, 6600, 2295, 255));

  Check2 = new QCheckBox(QStringLiteral("Include all overflowed data"), this);
  Check2->setGeometry(twips(240, 6960, 3255, 255));

  Command1 = new QPushButton(QStringLiteral("MAKE"), this);
  Command1->setGeometry(twips(5400, 6480, 1215, 495));

  Command2 = new QPushButton(QStringLiteral("EXIT"), this);
  Command2->setGeometry(twips(5400, 6960, 1215, 495));

  // In the free room left of EXIT; usable once a run has succeeded.
  Command3 = new QPushButton(QStringLiteral("&CHART"), this);
  Command3->setGeometry(twips(4080, 6960, 1215, 465));
  Command3->setEnabled(false);

  Label1 =
      new QLabel(QStringLiteral("Files to convert must have a name such as :  UC***.PDB"), this);
  Label1->setGeometry(twips(240, 7440, 5535, 255));

  Label4 = new QLabel(QStringLiteral("Kestrix V2.14  8/2014"), this);
  Label4->setGeometry(twips(4680, 7560, 1935, 255));
  Label4->setFont(fontWithFallback(windowFamilies(), 8.25, false, true));

  for (QLabel* label : {Label1, Label2, Label3, Label4}) label->setFocusPolicy(Qt::NoFocus);
  for (QWidget* captioned :
       std::initializer_list<QWidget*>{Label1, Label2, Label3, Label4, Check1, Check2})
    shrinkToFit(captioned);

  // Keyboard order: the file list first, so it has the focus at start.
  const QWidget* chain[] = {File1, Dir1, Drive1, etat, Command1, Command2, Check1, Check2};
  for (std::size_t i = 0; i + 1 < std::size(chain); ++i)
    QWidget::setTabOrder(const_cast<QWidget*>(chain[i]), const_cast<QWidget*>(chain[i + 1]));
  QWidget::setTabOrder(Command2, Command3);
  File1->setFocus();

  connect(Drive1, &QComboBox::currentIndexChanged, this, [this](int index) { driveChosen(index); });
  // The list is rebuilt on a folder change, so the change waits until the
  // activation signal has returned.
  connect(Dir1, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
    const fs::path target = itemPath(item);
    QMetaObject::invokeMethod(
        this, [this, target] { setPath(target); }, Qt::QueuedConnection);
  });
  connect(File1, &QListWidget::itemDoubleClicked, this, [this] { Command1_Click(); });
  connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
  connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
  connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
}

void Form1::fillDrives() {
  volumes_ = mountedVolumes();
  lastVisited_.clear();
  const QSignalBlocker quiet(Drive1);
  Drive1->clear();
  for (const Volume& volume : volumes_) {
    lastVisited_.push_back(volume.mountPoint);
    QString text = displayName(volume.mountPoint);
    if (volume.device.starts_with("/dev/"))
      text += QStringLiteral("  [%1]").arg(QFile::decodeName(volume.device.substr(5).c_str()));
    Drive1->addItem(text);
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
    volumes_.insert(volumes_.begin(), Volume{"/", "", ""});
    lastVisited_.insert(lastVisited_.begin(), "/");
    const QSignalBlocker quiet(Drive1);
    Drive1->insertItem(0, QStringLiteral("/"));
    volume_ = 0;
  }
  lastVisited_[static_cast<std::size_t>(volume_)] = dirPath_;
  {
    const QSignalBlocker quiet(Drive1);
    Drive1->setCurrentIndex(volume_);
  }
  fillFolders();
  fillFiles();
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
  Dir1->clear();
  int depth = 0;
  for (const fs::path& step : chain) {
    auto* item = new QListWidgetItem(
        open, depth == 0 ? displayName(step) : displayName(step.filename()), Dir1);
    item->setData(pathRole, pathBytes(step));
    item->setData(depthRole, depth++);
  }
  QListWidgetItem* current = Dir1->item(Dir1->count() - 1);
  for (const std::string& name : subfoldersOf(dirPath_)) {
    auto* item = new QListWidgetItem(closed, QFile::decodeName(name.c_str()), Dir1);
    item->setData(pathRole, pathBytes(dirPath_ / name));
    item->setData(depthRole, depth);
  }
  Dir1->setCurrentItem(current);
}

void Form1::fillFiles() {
  File1->clear();
  for (const std::string& name : loggerFilesIn(dirPath_)) {
    auto* item = new QListWidgetItem(QFile::decodeName(name.c_str()), File1);
    item->setData(pathRole, QByteArray(name.c_str()));
  }
}

bool Form1::selectFiles(const QStringList& names) {
  File1->clearSelection();
  bool all = true;
  for (const QString& name : names) {
    const auto found = File1->findItems(name, Qt::MatchExactly);
    if (found.isEmpty()) {
      all = false;
      continue;
    }
    found.front()->setSelected(true);
    File1->setCurrentItem(found.front(), QItemSelectionModel::Current);
  }
  return all;
}

void Form1::Command1_Click() {
  if (running_) return;

  std::vector<std::string> names;
  for (int i = 0; i < File1->count(); ++i)
    if (File1->item(i)->isSelected())
      names.push_back(File1->item(i)->data(pathRole).toByteArray().toStdString());
  if (names.empty()) {
    etat->setText(QStringLiteral("No file selected"));
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
  Command3->setEnabled(false);
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{running_};

  etat->setText(QStringLiteral("..."));
  QCoreApplication::processEvents();
  if (cancelRequested_) return;

  CStringBuilder clip;
  ConversionRequest request;
  for (const std::string& name : names) request.paths.push_back(dirPath_ / name);
  request.displayNames = std::move(names);
  request.options.regional = regional_;
  request.clipboardText = Check1->isChecked() ? &clip : nullptr;
  request.options.progress = [this](int percent) {
    etat->setText(QString::number(percent) + QLatin1Char('%'));
    QCoreApplication::processEvents();
    if (cancelRequested_) throw RunCancelled{};
  };

  std::string status;
  std::shared_ptr<const ConversionRun> run;
  try {
    request.target = tableFolder(outputDir_, dirPath_) / outputName_;
    ConversionResult result = convertFiles(request);
    status = std::move(result.status);
    run = std::move(result.run);
  } catch (const RunCancelled&) {
    return;
  } catch (const std::exception& e) {
    fail(QStringLiteral("Error: ") + QString::fromUtf8(e.what()));
    return;
  }

  // The clipboard option counts as it stands at the end of the run.
  const bool copy = request.clipboardText != nullptr && Check1->isChecked();
  const std::string* text = nullptr;
  bool fits = true;
  if (copy) {
    text = &clip.ToString();
    fits = fitsClipboard(*text);
    if (!fits) status += " (too large for the clipboard)";
  }
  etat->setText(QString::fromStdString(status));
  lastRun_ = std::move(run);
  lastRunOverflowed_ = Check2->isChecked();
  if (chart_) chart_->close();  // it showed the run before; it deletes itself
  chart_ = nullptr;
  Command3->setEnabled(lastRun_ != nullptr);
  repaint();
  if (copy && fits) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(QString::fromUtf8(windows1252ToUtf8(*text)));
  }
}

void Form1::Command2_Click() {
  QGuiApplication::clipboard()->clear();
  cancelRequested_ = true;
  close();
  QCoreApplication::quit();
}

void Form1::Command3_Click() {
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
  etat->setText(message);
  if (messageHandler_)
    messageHandler_(message);
  else
    QMessageBox::critical(this, windowTitle(), message);
}

}  // namespace kestrix::ui
