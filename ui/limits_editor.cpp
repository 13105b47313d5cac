#include "limits_editor.hpp"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "chart_limits.hpp"
#include "limits_file.hpp"
#include "path_text.hpp"
#include "save_dialog.hpp"

namespace kestrix::ui {

namespace fs = std::filesystem;

namespace {

QString text(const std::string& utf8) {
  return QString::fromStdString(utf8);
}

const QColor badCell(255, 205, 205);

}  // namespace

LimitsEditor::LimitsEditor(const chart::ChartData& chartData, std::vector<LimitRule> rules,
                           fs::path target, QWidget* parent)
    : QDialog(parent), target_(std::move(target)) {
  setWindowTitle(QStringLiteral("Limits"));
  resize(760, 460);
  table_ = new QTableWidget(this);
  table_->setColumnCount(6);
  table_->setHorizontalHeaderLabels({QStringLiteral("Channel"), QStringLiteral("Unit"),
                                     QStringLiteral("Low"), QStringLiteral("High"),
                                     QStringLiteral("Delay"), QStringLiteral("Total")});
  table_->verticalHeader()->setVisible(false);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);

  lines_ = chart::limitLines(chartData);
  table_->setRowCount(static_cast<int>(lines_.size()));
  for (std::size_t row = 0; row < lines_.size(); ++row) {
    const LimitLine& line = lines_[row];
    const auto r = static_cast<int>(row);
    auto* name = new QTableWidgetItem(text(line.name));
    name->setToolTip(text(line.tip));
    if (line.unit) {
      QFont bold = name->font();
      bold.setBold(true);
      name->setFont(bold);
    }
    name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    table_->setItem(r, ChannelColumn, name);
    auto* unit = new QTableWidgetItem(text(line.channelUnit));
    unit->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    table_->setItem(r, UnitColumn, unit);
    for (int col = LowColumn; col <= TotalColumn; ++col) {
      auto* cell = new QTableWidgetItem;
      cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      if (!line.editable()) cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
      table_->setItem(r, col, cell);
    }
  }
  table_->resizeColumnsToContents();
  for (int col = LowColumn; col <= TotalColumn; ++col)
    table_->setColumnWidth(col, std::max(table_->columnWidth(col), 90));

  problemLabel_ = new QLabel(this);
  problemLabel_->setStyleSheet(QStringLiteral("color: #b00000"));
  problemLabel_->setWordWrap(true);
  auto* help = new QLabel(
      QStringLiteral("Low and high in the channel's unit; delay: how long an excursion may last "
                     "before it raises an alarm; total: the time on one side that fails the "
                     "channel. Durations such as 90s, 30m, 2h or 1h30m. A channel's own line "
                     "beats its unit's."),
      this);
  help->setWordWrap(true);
  help->setStyleSheet(QStringLiteral("color: gray"));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  okButton_ = buttons->button(QDialogButtonBox::Ok);
  okButton_->setToolTip(
      QStringLiteral("Saves the limits to %1 and applies them").arg(displayName(target_)));
  auto* openButton = buttons->addButton(QStringLiteral("Open\u2026"), QDialogButtonBox::ActionRole);
  saveAsButton_ = buttons->addButton(QStringLiteral("Save as\u2026"), QDialogButtonBox::ActionRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(openButton, &QPushButton::clicked, this, [this] {
    const QString chosen = QFileDialog::getOpenFileName(
        this, QStringLiteral("Open a limits file"), displayName(target_.parent_path()),
        QStringLiteral("Limits (*.toml);;All files (*)"));
    if (!chosen.isEmpty()) openFile(pathOf(chosen));
  });
  connect(saveAsButton_, &QPushButton::clicked, this, [this] {
    const std::optional<fs::path> chosen = askForSaveFile(
        this, QStringLiteral("Save the limits as"), QStringLiteral("Limits (*.toml)"),
        displayName(target_.parent_path() / "limits.toml"));
    if (chosen) saveTo(*chosen);
  });
  connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (filling_ || item->column() < LowColumn) return;
    checkLine(item->row());
    showProblems();
  });

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_, 1);
  layout->addWidget(problemLabel_);
  layout->addWidget(help);
  layout->addWidget(buttons);
  setRules(rules);
}

int LimitsEditor::unitLine(const std::string& unit) const {
  for (std::size_t row = 0; row < lines_.size(); ++row)
    if (lines_[row].unit == unit) return static_cast<int>(row);
  return -1;
}

int LimitsEditor::channelLine(std::size_t channel) const {
  std::size_t units = 0;
  while (units < lines_.size() && lines_[units].unit) ++units;
  return static_cast<int>(units + channel);
}

void LimitsEditor::setRules(const std::vector<LimitRule>& rules) {
  FilledLimitLines filled = fillLimitLines(lines_, rules);
  kept_ = std::move(filled.kept);
  filling_ = true;
  for (std::size_t row = 0; row < lines_.size(); ++row)
    for (int col = LowColumn; col <= TotalColumn; ++col)
      table_->item(static_cast<int>(row), col)->setText(text(filled.cells[row][col - LowColumn]));
  filling_ = false;
  for (int r = 0; r < table_->rowCount(); ++r) checkLine(r);
  showProblems();
}

LimitCells LimitsEditor::cells(int row) const {
  LimitCells typed;
  for (int col = LowColumn; col <= TotalColumn; ++col)
    typed[col - LowColumn] = table_->item(row, col)->text().toStdString();
  return typed;
}

EditedLimits LimitsEditor::edited() const {
  std::vector<LimitCells> typed;
  for (int row = 0; row < table_->rowCount(); ++row) typed.push_back(cells(row));
  return editedLimits(lines_, typed, kept_);
}

void LimitsEditor::checkLine(int row) {
  CellFault fault;
  lineRule(lines_[static_cast<std::size_t>(row)], cells(row), fault);
  const QString why = text(fault.message);
  const int column = fault.cell < 0 ? -1 : LowColumn + fault.cell;
  filling_ = true;
  for (int col = LowColumn; col <= TotalColumn; ++col) {
    QTableWidgetItem* item = table_->item(row, col);
    const bool bad = col == column;
    item->setBackground(bad ? QBrush(badCell) : QBrush());
    item->setToolTip(bad ? why : QString());
  }
  filling_ = false;
}

QString LimitsEditor::problem() const {
  return text(edited().problem);
}

void LimitsEditor::showProblems() {
  const QString why = problem();
  problemLabel_->setText(why);
  problemLabel_->setVisible(!why.isEmpty());
  okButton_->setEnabled(why.isEmpty());
  saveAsButton_->setEnabled(why.isEmpty());
}

std::optional<std::vector<LimitRule>> LimitsEditor::rules() const {
  EditedLimits limits = edited();
  if (!limits.faults.empty()) return std::nullopt;
  return std::move(limits.rules);
}

void LimitsEditor::message(const QString& what) {
  if (tell)
    tell(what);
  else
    QMessageBox::warning(this, windowTitle(), what);
}

bool LimitsEditor::openFile(const fs::path& path) {
  try {
    setRules(readLimitsFile(path));
    return true;
  } catch (const std::exception& e) {
    message(QString::fromUtf8(e.what()));
    return false;
  }
}

bool LimitsEditor::saveTo(const fs::path& path) {
  const std::optional<std::vector<LimitRule>> edited = rules();
  if (!edited) {
    message(problem());
    return false;
  }
  try {
    writeLimitsFile(path, *edited);
    return true;
  } catch (const std::exception& e) {
    message(QString::fromUtf8(e.what()));
    return false;
  }
}

void LimitsEditor::accept() {
  if (saveTo(target_)) QDialog::accept();
}

}  // namespace kestrix::ui
