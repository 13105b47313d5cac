// The chart window's "Limits…" editor: a line per unit of the run (its
// unit-wide rule) above a line per channel (the rule of that logger's
// channel), each with low, high, delay and total. Rules of the file that name
// none of the run's units or channels are kept as they are. A bad value stays
// in its cell, marked, with the reason in its tool tip and under the table;
// nothing is saved while one is left.
#pragma once

#include <QDialog>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "chart_data.hpp"
#include "limit_lines.hpp"
#include "limit_rules.hpp"

class QLabel;
class QPushButton;
class QTableWidget;

namespace kestrix::ui {

class LimitsEditor : public QDialog {
 public:
  // Lines for the units and channels of `data`, filled from `rules`; OK
  // writes the rules to `target` (replaced only once complete).
  LimitsEditor(const chart::ChartData& chartData, std::vector<LimitRule> rules,
               std::filesystem::path target, QWidget* parent = nullptr);

  // The table's columns.
  enum Column { ChannelColumn, UnitColumn, LowColumn, HighColumn, DelayColumn, TotalColumn };
  QTableWidget* table() const noexcept { return table_; }
  // The line of the unit `unit` (UTF-8) and of channel `channel` of the data.
  int unitLine(const std::string& unit) const;
  int channelLine(std::size_t channel) const;

  // Fills the lines from `rules`, keeping those that name none of them.
  void setRules(const std::vector<LimitRule>& rules);
  // The rules as edited: those kept, then a rule per unit line and per
  // channel line that has a value. None while a cell holds a bad value.
  std::optional<std::vector<LimitRule>> rules() const;
  // The first problem in words ("Cellar — Humidity, High: ..."), or empty.
  QString problem() const;

  // Where messages go (by default a message box).
  std::function<void(const QString&)> tell;
  // Reads the rules of another file into the table; tells why when it cannot.
  bool openFile(const std::filesystem::path& path);
  // Writes the rules as edited to `path`; tells why when it cannot.
  bool saveTo(const std::filesystem::path& path);

  void accept() override;

 private:
  void checkLine(int row);
  void showProblems();
  void message(const QString& text);
  // The cells of line `row` as typed, in UTF-8; the rules of every line's.
  LimitCells cells(int row) const;
  EditedLimits edited() const;

  std::vector<LimitLine> lines_;
  std::vector<LimitRule> kept_;
  std::filesystem::path target_;
  QTableWidget* table_;
  QLabel* problemLabel_;
  QPushButton* okButton_;
  QPushButton* saveAsButton_;
  bool filling_ = false;
};

}  // namespace kestrix::ui
