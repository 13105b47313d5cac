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
#include <charconv>
#include <cmath>

#include "limits_file.hpp"
#include "path_text.hpp"
#include "save_dialog.hpp"
#include "text_format.hpp"

namespace kestrix::ui {

namespace fs = std::filesystem;

namespace {

QString text(const std::string& utf8) {
  return QString::fromStdString(utf8);
}

const QColor badCell(255, 205, 205);

// A limit as the user typed it: empty, or a number with '.' or ',' as its mark.
std::optional<double> parseLimit(const QString& cell, QString* problem) {
  std::string typed = cell.trimmed().toStdString();
  if (typed.empty()) return std::nullopt;
  for (char& c : typed)
    if (c == ',') c = '.';
  double value = 0;
  const char* end = typed.data() + typed.size();
  const auto [at, error] = std::from_chars(typed.data(), end, value);
  if (error != std::errc() || at != end || !std::isfinite(value)) {
    *problem = QStringLiteral("\u201c%1\u201d is not a number").arg(cell.trimmed());
    return std::nullopt;
  }
  return value;
}

// A duration as the user typed it: empty, "90s", "30m", "2h", "1h30m" or seconds.
std::optional<std::int64_t> parseDurationCell(const QString& cell, QString* problem) {
  const std::string typed = cell.trimmed().toStdString();
  if (typed.empty()) return std::nullopt;
  std::int64_t seconds = 0;
  const char* end = typed.data() + typed.size();
  const auto [at, error] = std::from_chars(typed.data(), end, seconds);
  if (error == std::errc() && at == end && seconds >= 0 && seconds <= maxDurationSeconds)
    return seconds;
  if (const auto parsed = parseDuration(typed)) return parsed;
  *problem = QStringLiteral("\u201c%1\u201d is not a duration such as 90s, 30m, 2h or 1h30m")
                 .arg(cell.trimmed());
  return std::nullopt;
}

std::string limitText(const std::optional<double>& value) {
  std::string out;
  if (value) appendShortestDecimal(*value, ".", out);
  return out;
}

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

  for (const std::string& unit : chartData.units()) lines_.push_back({unit, std::nullopt, 0, unit});
  for (const chart::ChartChannel& channel : chartData.channels()) {
    const ColumnInfo& column = chartData.values().column(channel.column);
    lines_.push_back(
        {std::nullopt, parseLoggerIdentity(column.loggerId), column.channel + 1, channel.unit});
  }
  table_->setRowCount(static_cast<int>(lines_.size()));
  const std::size_t units = chartData.units().size();
  for (std::size_t row = 0; row < lines_.size(); ++row) {
    const Line& line = lines_[row];
    const auto r = static_cast<int>(row);
    auto* name = new QTableWidgetItem;
    if (line.unit) {
      name->setText(QStringLiteral("Every %1 channel").arg(text(*line.unit)));
      name->setToolTip(QStringLiteral("The limits of every channel in %1 that has none of its own")
                           .arg(text(*line.unit)));
      QFont bold = name->font();
      bold.setBold(true);
      name->setFont(bold);
    } else {
      const chart::ChartChannel& channel = chartData.channels()[row - units];
      name->setText(text(channel.name()));
      name->setToolTip(QStringLiteral("Logger %1, channel %2")
                           .arg(text(chartData.values().column(channel.column).loggerId))
                           .arg(line.channel));
    }
    name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    table_->setItem(r, ChannelColumn, name);
    auto* unit = new QTableWidgetItem(text(line.channelUnit));
    unit->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    table_->setItem(r, UnitColumn, unit);
    for (int col = LowColumn; col <= TotalColumn; ++col) {
      auto* cell = new QTableWidgetItem;
      cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      // A channel without a logger identity cannot be named by a rule.
      if (!line.unit && !line.logger) cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
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
  // Which rule fills each line: the last unit-wide rule of its unit; the
  // last rule of its logger that names its channel, as the check picks it.
  std::vector<std::optional<std::size_t>> filledBy(lines_.size());
  std::vector<bool> shown(rules.size(), false);
  for (std::size_t i = 0; i < rules.size(); ++i) {
    const LimitRule& rule = rules[i];
    for (std::size_t row = 0; row < lines_.size(); ++row) {
      const Line& line = lines_[row];
      const bool names = line.unit ? (!rule.logger && rule.unit == line.unit)
                                   : (line.logger && rule.logger == line.logger &&
                                      (!rule.channel || *rule.channel == line.channel) &&
                                      (!rule.unit || *rule.unit == line.channelUnit));
      if (!names) continue;
      filledBy[row] = i;
      shown[i] = true;
    }
  }
  kept_.clear();
  for (std::size_t i = 0; i < rules.size(); ++i)
    if (!shown[i]) kept_.push_back(rules[i]);

  filling_ = true;
  for (std::size_t row = 0; row < lines_.size(); ++row) {
    const auto r = static_cast<int>(row);
    const LimitRule* rule = filledBy[row] ? &rules[*filledBy[row]] : nullptr;
    table_->item(r, LowColumn)->setText(text(rule ? limitText(rule->low) : ""));
    table_->item(r, HighColumn)->setText(text(rule ? limitText(rule->high) : ""));
    table_->item(r, DelayColumn)
        ->setText(rule && rule->delaySeconds != 0 ? text(durationText(rule->delaySeconds))
                                                  : QString());
    table_->item(r, TotalColumn)
        ->setText(rule && rule->totalSeconds ? text(durationText(*rule->totalSeconds)) : QString());
  }
  filling_ = false;
  for (int r = 0; r < table_->rowCount(); ++r) checkLine(r);
  showProblems();
}

std::optional<LimitRule> LimitsEditor::lineRule(int row, QString* problem, int* column) const {
  const Line& line = lines_[static_cast<std::size_t>(row)];
  const auto cell = [&](int col) { return table_->item(row, col)->text(); };
  const auto fail = [&](int col, const QString& why) {
    *column = col;
    *problem = table_->horizontalHeaderItem(col)->text() + QStringLiteral(": ") + why;
    return std::nullopt;
  };
  bool empty = true;
  for (int col = LowColumn; col <= TotalColumn; ++col)
    empty = empty && cell(col).trimmed().isEmpty();
  if (empty) return std::nullopt;

  LimitRule rule;
  rule.unit = line.unit;
  rule.logger = line.logger;
  if (line.logger) rule.channel = line.channel;
  QString why;
  rule.low = parseLimit(cell(LowColumn), &why);
  if (!why.isEmpty()) return fail(LowColumn, why);
  rule.high = parseLimit(cell(HighColumn), &why);
  if (!why.isEmpty()) return fail(HighColumn, why);
  rule.delaySeconds = parseDurationCell(cell(DelayColumn), &why).value_or(0);
  if (!why.isEmpty()) return fail(DelayColumn, why);
  rule.totalSeconds = parseDurationCell(cell(TotalColumn), &why);
  if (!why.isEmpty()) return fail(TotalColumn, why);
  if (!rule.low && !rule.high)
    return fail(LowColumn, QStringLiteral("a delay or a total needs a low or a high limit"));
  if (const std::optional<RuleProblem> p = ruleProblem(rule)) {
    const int col = p->key == "high"    ? HighColumn
                    : p->key == "delay" ? DelayColumn
                    : p->key == "total" ? TotalColumn
                                        : LowColumn;
    return fail(col, text(p->message));
  }
  return rule;
}

void LimitsEditor::checkLine(int row) {
  QString why;
  int column = -1;
  lineRule(row, &why, &column);
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
  for (int row = 0; row < table_->rowCount(); ++row) {
    QString why;
    int column = -1;
    lineRule(row, &why, &column);
    if (!why.isEmpty())
      return table_->item(row, ChannelColumn)->text() + QStringLiteral(", ") + why;
  }
  return {};
}

void LimitsEditor::showProblems() {
  const QString why = problem();
  problemLabel_->setText(why);
  problemLabel_->setVisible(!why.isEmpty());
  okButton_->setEnabled(why.isEmpty());
  saveAsButton_->setEnabled(why.isEmpty());
}

std::optional<std::vector<LimitRule>> LimitsEditor::rules() const {
  std::vector<LimitRule> rules = kept_;
  for (int row = 0; row < table_->rowCount(); ++row) {
    QString why;
    int column = -1;
    std::optional<LimitRule> rule = lineRule(row, &why, &column);
    if (!why.isEmpty()) return std::nullopt;
    if (rule) rules.push_back(std::move(*rule));
  }
  return rules;
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
