// The chart window's limits on Qt's offscreen platform: the user's limits
// file applied to chart, summary and excursion list, the Limits… editor
// through the file and back, and the report's verdicts and file record.

#include <gtest/gtest.h>

// Before Qt's headers: their "emit" macro would clash with names in the file builder.
#include "logger_file_builder.hpp"
#include "temp_folder.hpp"

#include <QAction>
#include <QCryptographicHash>
#include <QFileDialog>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <cstdlib>

#include "Form1.hpp"
#include "chart_plot.hpp"
#include "chart_window.hpp"
#include "excursion_list.hpp"
#include "limits_editor.hpp"
#include "limits_file.hpp"
#include "modal_dialogs.hpp"
#include "period_view.hpp"
#include "qt_application.hpp"
#include "run_program.hpp"
#include "summary_table.hpp"

namespace fs = std::filesystem;
using kestrix::LimitRule;
using kestrix::testing::LoggerFileBuilder;
using kestrix::testing::readFile;
using kestrix::testing::TempFolder;
using kestrix::ui::ChartWindow;
using kestrix::ui::Form1;
using kestrix::ui::LimitsEditor;

namespace {

class ChartLimits : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { kestrix::testing::application(); }

  void SetUp() override {
    ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    LoggerFileBuilder one;  // temperature, rising: 07:30 to 07:32
    one.name("Room 1").loggerId(1).start(2014, 3, 5, 7, 30, 0).intervalCode(7).typeCode(1);
    one.samples({400, 401, 402});
    ASSERT_TRUE(one.writeTo((data / "UC1.PDB").string()));
    LoggerFileBuilder two;  // temperature and humidity, 07:35 and 07:36
    two.name("Cellar").loggerId(2).start(2014, 3, 5, 7, 35, 0).intervalCode(7).typeCode(3);
    two.samples({200, 500, 201, 510});
    ASSERT_TRUE(two.writeTo((data / "UC2.PDB").string()));
    form = std::make_unique<Form1>(Form1::Options{data.path(), out.path(), {}, {}});
    form->setMessageHandler([this](const QString& text) { messages.push_back(text); });
    form->selectFiles({"UC1.PDB", "UC2.PDB"});
    form->make();
    form->openChart();
    chart = form->chartWindow();
    ASSERT_NE(chart, nullptr);
    chart->resize(900, 700);
  }

  // The user's limits file with Room 1 above from its second value on, the
  // cellar's temperature inside, and a rule for a logger not in this run.
  fs::path writeUserLimits() {
    const QString lowest = chart->summaryTable()->item(0, 5)->text();  // Room 1's minimum
    const fs::path path = kestrix::userLimitsPath();
    fs::create_directories(path.parent_path());
    kestrix::testing::writeFile(path,
                                "[[limit]]\nunit = \"\xC2\xB0"
                                "C\"\nlow = -50\nhigh = 100\n\n"
                                "[[limit]]\nlogger = \"00000001\"\nchannel = 1\nhigh = " +
                                    lowest.toStdString() +
                                    "\n\n[[limit]]\nlogger = \"0000abcd\"\nhigh = 5\n");
    return path;
  }

  // The excursion list's tab is offered beside the summary's.
  bool excursionsTabShown() const {
    QTabWidget* views = chart->views();
    const int tab = views->indexOf(chart->excursionList()->parentWidget());
    return tab >= 0 && views->isTabVisible(tab);
  }
  QString summaryCell(int row, const char* column) const {
    const int col = chart->summaryTable()->limitColumn(column);
    return col < 0 ? QStringLiteral("no column") : chart->summaryTable()->item(row, col)->text();
  }

  TempFolder config, data, out;
  std::unique_ptr<Form1> form;
  ChartWindow* chart = nullptr;
  std::vector<QString> messages;
};

TEST_F(ChartLimits, UserFileDrawsTheLimitsFillsSummaryAndListAndEnterZooms) {
  EXPECT_EQ(chart->limits(), nullptr);  // no file yet: no limits, no message
  EXPECT_EQ(summaryCell(0, "Result"), "no column");
  writeUserLimits();
  chart->loadUserLimits();
  ASSERT_NE(chart->limits(), nullptr);
  EXPECT_EQ(chart->plot()->limits(), chart->limits());
  EXPECT_EQ(summaryCell(0, "Result"), "fail");
  EXPECT_EQ(chart->summaryTable()
                ->item(0, chart->summaryTable()->limitColumn("Result"))
                ->foreground()
                .color(),
            QColor(200, 0, 0));
  EXPECT_EQ(summaryCell(0, "Time above"), "0:02:00");
  EXPECT_EQ(summaryCell(1, "Result"), "pass");
  EXPECT_EQ(summaryCell(2, "Result"), "");  // humidity: no rule
  EXPECT_TRUE(messages.empty());

  // One excursion: Room 1 above from 07:31 to the end of its values.
  kestrix::ui::ExcursionList* list = chart->excursionList();
  ASSERT_EQ(list->lineCount(), 1);
  EXPECT_EQ(list->model()->index(0, 5).data().toString(), "05/03/2014 07:31:00");
  EXPECT_EQ(list->model()->index(0, 11).data().toString(), "open");
  chart->plot()->zoomTime(0.1, chart->plot()->timeRange().upper);
  list->setCurrentIndex(list->model()->index(0, 0));
  QTest::keyClick(list, Qt::Key_Return);
  const kestrix::RowRange view = chart->plot()->rowsInView();
  EXPECT_LE(view.first, 2);
  EXPECT_GE(view.last, 3);
  EXPECT_EQ(chart->summaryTable()->currentRow(), 0);

  // A file that does not parse: its place is told, no limits are applied.
  kestrix::testing::writeFile(kestrix::userLimitsPath(),
                              "[[limit]]\nunit = \"\xC2\xB0"
                              "C\"\nhihg = 3\n");
  chart->loadUserLimits();
  EXPECT_EQ(chart->limits(), nullptr);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].contains(QStringLiteral("limits.toml:3:1: unknown key")))
      << messages[0].toStdString();
  EXPECT_FALSE(excursionsTabShown());
}

TEST_F(ChartLimits, EditorFillsFromTheFileRefusesBadCellsAndWritesBack) {
  const fs::path path = writeUserLimits();
  const std::vector<LimitRule> before = kestrix::readLimitsFile(path);
  LimitsEditor editor(chart->plot()->data(), before, path);
  std::vector<QString> told;
  editor.tell = [&](const QString& text) { told.push_back(text); };
  QTableWidget* table = editor.table();
  const auto cell = [&](int row, int col) { return table->item(row, col); };
  const int celsius = editor.unitLine("\u00b0C");
  const int room = editor.channelLine(0), humidity = editor.channelLine(2);
  ASSERT_EQ(table->rowCount(), 5);  // °C, %RH, then the three channels
  EXPECT_EQ(cell(celsius, LimitsEditor::LowColumn)->text(), "-50");
  EXPECT_EQ(cell(celsius, LimitsEditor::HighColumn)->text(), "100");
  EXPECT_EQ(cell(room, LimitsEditor::HighColumn)->text().toDouble(), *before[1].high);
  EXPECT_EQ(cell(room, LimitsEditor::LowColumn)->text(), "");
  EXPECT_EQ(cell(editor.channelLine(1), LimitsEditor::HighColumn)->text(), "");

  // A bad value stays in its cell, marked with the reason; nothing is saved.
  cell(humidity, LimitsEditor::HighColumn)->setText("8o");
  EXPECT_EQ(cell(humidity, LimitsEditor::HighColumn)->toolTip(),
            "High: \u201c8o\u201d is not a number");
  EXPECT_EQ(editor.problem(), "Cellar \u2014 Humidity, High: \u201c8o\u201d is not a number");
  EXPECT_FALSE(editor.rules());
  editor.accept();
  EXPECT_EQ(editor.result(), QDialog::Rejected);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(kestrix::readLimitsFile(path), before);
  cell(humidity, LimitsEditor::LowColumn)->setText("90");
  cell(humidity, LimitsEditor::HighColumn)->setText("80");
  EXPECT_EQ(editor.problem(), "Cellar \u2014 Humidity, Low: low (90) is above high (80)");
  cell(humidity, LimitsEditor::DelayColumn)->setText("1h30");
  EXPECT_TRUE(
      editor.problem().contains(QStringLiteral("Delay: \u201c1h30\u201d is not a duration")));

  // Fixed, with a decimal comma and a duration: OK writes the file.
  cell(humidity, LimitsEditor::LowColumn)->setText("20,5");
  cell(humidity, LimitsEditor::DelayColumn)->setText("15m");
  cell(celsius, LimitsEditor::TotalColumn)->setText("3600");
  EXPECT_EQ(editor.problem(), "");
  EXPECT_TRUE(cell(humidity, LimitsEditor::HighColumn)->toolTip().isEmpty());
  editor.accept();
  EXPECT_EQ(editor.result(), QDialog::Accepted);
  std::vector<LimitRule> expected = {before[2], before[0], before[1], {}};
  expected[1].totalSeconds = 3600;  // the rule of a logger not in the run comes first, as it was
  expected[3].logger = 2;
  expected[3].channel = 2;
  expected[3].low = 20.5;
  expected[3].high = 80;
  expected[3].delaySeconds = 900;
  EXPECT_EQ(kestrix::readLimitsFile(path), expected);
  EXPECT_EQ(told.size(), 1u);

  // Another file: its rules replace the table's; a bad one is told with its place.
  const fs::path other = out / "other.toml";
  kestrix::testing::writeFile(other, "[[limit]]\nunit = \"%RH\"\nlow = 5\nhigh = 3\n");
  EXPECT_FALSE(editor.openFile(other));
  ASSERT_EQ(told.size(), 2u);
  EXPECT_TRUE(told[1].startsWith(
      QString::fromStdString(other.string() + ":3:1: low (5) is above high (3)")))
      << told[1].toStdString();
  kestrix::testing::writeFile(other, "[[limit]]\nunit = \"%RH\"\nhigh = 70\n");
  EXPECT_TRUE(editor.openFile(other));
  EXPECT_EQ(cell(editor.unitLine("%RH"), LimitsEditor::HighColumn)->text(), "70");
  EXPECT_EQ(cell(celsius, LimitsEditor::HighColumn)->text(), "");
  EXPECT_TRUE(editor.saveTo(out / "saved.toml"));
  EXPECT_EQ(kestrix::readLimitsFile(out / "saved.toml"), kestrix::readLimitsFile(other));
}

// "Limits…" opens the editor on the user's file; OK writes it and applies it.
TEST_F(ChartLimits, LimitsEntryEditsTheUserFileAndAppliesIt) {
  kestrix::testing::whenShown<QDialog>(
      [](QDialog* dialog) {
        auto* editor = dynamic_cast<LimitsEditor*>(dialog);
        const int humidity = editor->unitLine("%RH");
        editor->table()->item(humidity, LimitsEditor::HighColumn)->setText("15.7");
        editor->accept();
      },
      [](QDialog* dialog) { return dynamic_cast<LimitsEditor*>(dialog) != nullptr; });
  chart->limitsAction()->trigger();
  ASSERT_NE(chart->limits(), nullptr);
  LimitRule humidity;
  humidity.unit = "%RH";
  humidity.high = 15.7;
  EXPECT_EQ(kestrix::readLimitsFile(kestrix::userLimitsPath()), std::vector{humidity});
  EXPECT_EQ(summaryCell(2, "Result"), "fail");  // 15.9 at 07:36
  EXPECT_EQ(chart->excursionList()->lineCount(), 1);
  EXPECT_TRUE(excursionsTabShown());
}

TEST_F(ChartLimits, ReportGivesVerdictsExcursionsAndTheFilesWithTheirHashes) {
  const fs::path limitsPath = writeUserLimits();
  chart->loadUserLimits();
  chart->exportReport(out / "report.pdf");
  if (std::string(KESTRIX_PDFTOTEXT).empty()) GTEST_SKIP() << "no pdftotext (poppler-utils)";
  kestrix::testing::ProgramRun pdfToText;
  pdfToText.args = {"-layout", (out / "report.pdf").string(), "-"};
  pdfToText.folder = out.path();
  const kestrix::testing::ProgramResult text =
      kestrix::testing::runProgram(KESTRIX_PDFTOTEXT, pdfToText, out.path());
  ASSERT_EQ(text.status, 0) << text.err;
  const auto sha256 = [](const std::string& bytes) {
    return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
  };
  for (const std::string& expected :
       {std::string("Limits and verdicts over the whole run"),
        std::string("fail: 1 excursion, 1 alarm"),
        std::string("Excursions over the whole run: 1, 1 with an alarm"), std::string("Duration"),
        std::string("Peak at"), std::string("05/03/2014 07:31:00"),
        sha256(readFile(data / "UC1.PDB")), sha256(readFile(data / "UC2.PDB")),
        "Limits file: " + limitsPath.string(), sha256(readFile(limitsPath)),
        std::to_string(readFile(data / "UC2.PDB").size())}) {
    EXPECT_NE(text.out.find(expected), std::string::npos) << expected << " in\n" << text.out;
  }
}

TEST_F(ChartLimits, TableAsXlsxHandsTheRulesOnWhenLimitsAreSet) {
  std::optional<std::vector<LimitRule>> handed;
  chart->setXlsxExport([&](const kestrix::TableValues&, const fs::path&, kestrix::RowRange,
                           const std::vector<LimitRule>* rules,
                           std::optional<kestrix::PeriodKind>) {
    handed = rules ? *rules : std::vector<LimitRule>{};
  });
  const auto save = [&] {
    kestrix::testing::whenShown<QFileDialog>([&](QFileDialog* dialog) {
      kestrix::testing::typeFileName(dialog, QString::fromStdString((out / "t.xlsx").string()));
    });
    chart->xlsxAction()->trigger();
  };
  save();
  ASSERT_TRUE(handed);
  EXPECT_TRUE(handed->empty());
  writeUserLimits();
  chart->loadUserLimits();
  save();
  ASSERT_TRUE(handed);
  EXPECT_EQ(*handed, chart->limits()->rules());
}

}  // namespace

// The Periods tab and the report's period table gain the time below and
// above the limits, as --periods with --limits writes it.
TEST_F(ChartLimits, PeriodLinesGainTheTimeOutsideTheLimits) {
  kestrix::ui::PeriodView* periods = chart->periodView();
  chart->views()->setCurrentWidget(periods);
  QApplication::processEvents();
  const QAbstractItemModel* model = periods->lines()->model();
  const int without = model->columnCount();
  writeUserLimits();
  chart->loadUserLimits();
  QApplication::processEvents();
  ASSERT_EQ(model->columnCount(), without + 2);
  EXPECT_EQ(model->headerData(without, Qt::Horizontal).toString(), "Time below");
  EXPECT_EQ(model->headerData(without + 1, Qt::Horizontal).toString(), "Time above");
  EXPECT_EQ(model->index(0, without + 1).data().toString(), "0:02:00");  // Room 1, from 07:31
}

// A window test started by hand, outside CTest, never reaches the user's own
// limits file: the application object moves the settings to a folder of its own.
TEST(UserLimitsFile, NeverTheUsersOwnInAWindowTest) {
  kestrix::testing::application();
  const std::string file = kestrix::userLimitsPath().string();
  EXPECT_EQ(file.rfind(fs::temp_directory_path().string(), 0), 0u) << file;
}
