// The chart window on Qt's offscreen platform, opened from the main window
// after a run: legend, zoom, read-out and exports.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <functional>

// Before Qt's headers: their "emit" macro would clash with names in the file builder.
#include "logger_file_builder.hpp"
#include "temp_folder.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <functional>

#include "Form1.hpp"
#include "channel_graph.hpp"
#include "chart_limits.hpp"
#include "chart_plot.hpp"
#include "chart_window.hpp"
#include "conversion.hpp"
#include "csv_table.hpp"
#include "error.hpp"
#include "modal_dialogs.hpp"
#include "period_bars.hpp"
#include "period_view.hpp"
#include "pixel_lines.hpp"
#include "qt_application.hpp"
#include "run_program.hpp"
#include "save_dialog.hpp"
#include "sink.hpp"
#include "summary_table.hpp"

namespace fs = std::filesystem;
using kestrix::testing::application;
using kestrix::testing::LoggerFileBuilder;
using kestrix::testing::readFile;
using kestrix::testing::TempFolder;
using kestrix::testing::typeFileName;
using kestrix::testing::whenShown;
using kestrix::ui::ChartWindow;
using kestrix::ui::Form1;

namespace {

// The table's fields of the row dated `date` ("dd/mm/yy hh:mm:ss").
std::vector<std::string> tableRow(const std::string& table, const std::string& date) {
  const std::size_t at = table.find("\r\n" + date + "\t");
  if (at == std::string::npos) return {};
  const std::string line = table.substr(at + 2, table.find("\r\n", at + 2) - at - 2);
  return kestrix::testing::split(line, "\t");
}

// The chart window's toolbar entry named `text`.
QAction* toolbarAction(ChartWindow* chart, const QString& text) {
  for (QAction* action : chart->findChildren<QAction*>())
    if (action->text() == text) return action;
  return nullptr;
}

class Chart : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { application(); }

  void SetUp() override {
    LoggerFileBuilder one;  // temperature, 07:30 to 07:32, a minute apart
    one.name("Room 1").loggerId(1).start(2014, 3, 5, 7, 30, 0).intervalCode(7).typeCode(1);
    one.samples({400, 401, 402});
    ASSERT_TRUE(one.writeTo((data / "UC1.PDB").string()));
    LoggerFileBuilder two;  // temperature and humidity, 07:35 and 07:36
    two.name("Cellar").loggerId(2).start(2014, 3, 5, 7, 35, 0).intervalCode(7).typeCode(3);
    two.samples({200, 500, 201, 510});
    ASSERT_TRUE(two.writeTo((data / "UC2.PDB").string()));
    form = std::make_unique<Form1>(Form1::Options{data.path(), out.path(), {}, {}});
    form->setMessageHandler([](const QString& text) { ADD_FAILURE() << text.toStdString(); });
  }

  // Runs MAKE on both files and opens the chart with the CHART button.
  ChartWindow* openChart() {
    EXPECT_FALSE(form->chartButton->isEnabled());
    form->selectFiles({"UC1.PDB", "UC2.PDB"});
    form->make();
    EXPECT_TRUE(form->statusBox->text().startsWith("Done... written to "));
    EXPECT_TRUE(form->chartButton->isEnabled());
    QTest::mouseClick(form->chartButton, Qt::LeftButton);
    ChartWindow* chart = form->chartWindow();
    if (chart) chart->resize(900, 600);
    return chart;
  }

  TempFolder data;
  TempFolder out;
  std::unique_ptr<Form1> form;
};

TEST_F(Chart, OpensAfterARunWithOnePanelPerUnitAndALegendEntryPerChannel) {
  ChartWindow* chart = openChart();
  ASSERT_NE(chart, nullptr);
  EXPECT_TRUE(chart->isVisible());
  EXPECT_EQ(chart->plot()->axisRectCount(), 2);  // °C, then %RH
  ASSERT_EQ(chart->legend()->count(), 3);
  EXPECT_EQ(chart->legend()->item(0)->text(), "Room 1 \u2014 Ulmacorder Temp");
  EXPECT_EQ(chart->legend()->item(2)->text(), "Cellar \u2014 Humidity");
  EXPECT_EQ(chart->summaryTable()->rowCount(), 3);
  EXPECT_TRUE(chart->xlsxAction()->isEnabled());  // the window sets the workbook writer
  // A second click raises the same window; a new run replaces it.
  QTest::mouseClick(form->chartButton, Qt::LeftButton);
  EXPECT_EQ(form->chartWindow(), chart);
  form->make();
  EXPECT_EQ(form->chartWindow(), nullptr);
}

TEST_F(Chart, LegendHidesAChannelZoomAndHomeResetTheView) {
  ChartWindow* chart = openChart();
  ASSERT_NE(chart, nullptr);
  kestrix::chart::ChartPlot* plot = chart->plot();
  const QCPRange whole = plot->timeRange();
  EXPECT_EQ(whole.size(), 6 * 60.0);  // 07:30 to 07:36

  QListWidget* legend = chart->legend();
  QTest::mouseClick(legend->viewport(), Qt::LeftButton, {},
                    legend->visualItemRect(legend->item(1)).center());
  EXPECT_FALSE(plot->channelVisible(1));
  EXPECT_FALSE(plot->graph(1)->visible());
  EXPECT_TRUE(plot->channelVisible(0));
  QTest::keyClick(legend, Qt::Key_Return);  // current item: the same entry
  EXPECT_TRUE(plot->channelVisible(1));

  plot->setFocus();
  plot->zoomTime(0.8);
  EXPECT_NEAR(plot->timeRange().size(), whole.size() * 0.8, 1e-6);
  QTest::keyClick(plot, Qt::Key_Plus);
  EXPECT_NEAR(plot->timeRange().size(), 4 * 60.0, 1e-6);  // never closer than four rows
  QTest::keyClick(plot, Qt::Key_Right);
  EXPECT_GT(plot->timeRange().lower, whole.lower);
  QTest::keyClick(plot, Qt::Key_Home);
  EXPECT_EQ(plot->timeRange(), whole);
  QTest::keyClick(plot, Qt::Key_Minus);  // never further out than the run
  EXPECT_EQ(plot->timeRange(), whole);
}

TEST_F(Chart, MouseZoomsByWheelAndRectanglePansByDragAndResetsByDoubleClick) {
  ChartWindow* chart = openChart();
  ASSERT_NE(chart, nullptr);
  kestrix::chart::ChartPlot* plot = chart->plot();
  plot->replot();  // lays the panels out
  const QCPRange whole = plot->timeRange();
  const QRect panel = plot->axisRect(0)->rect();
  const QPoint middle = panel.center();
  const double atMiddle = plot->axisRect(0)->axis(QCPAxis::atBottom)->pixelToCoord(middle.x());

  // A wheel step in zooms around the time under the mouse.
  QWheelEvent wheel(QPointF(middle), QPointF(plot->mapToGlobal(middle)), {}, QPoint(0, 120),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(plot, &wheel);
  const QCPRange zoomed = plot->timeRange();
  EXPECT_LT(zoomed.size(), whole.size());
  EXPECT_GT(zoomed.size(), 4 * 60.0);
  EXPECT_LT(zoomed.lower, atMiddle);
  EXPECT_GT(zoomed.upper, atMiddle);

  // Dragging to the right shows earlier times, at the same zoom, in every panel.
  QTest::mousePress(plot, Qt::LeftButton, {}, middle);
  QTest::mouseMove(plot, middle + QPoint(60, 0));
  QTest::mouseRelease(plot, Qt::LeftButton, {}, middle + QPoint(60, 0));
  EXPECT_LT(plot->timeRange().lower, zoomed.lower);
  EXPECT_NEAR(plot->timeRange().size(), zoomed.size(), 1e-6);
  EXPECT_EQ(plot->axisRect(1)->axis(QCPAxis::atBottom)->range(), plot->timeRange());

  QTest::mouseDClick(plot, Qt::LeftButton, {}, middle);
  EXPECT_EQ(plot->timeRange(), whole);

  // A rectangle over the middle three quarters, drawn with Shift or the right button.
  const QPoint from(panel.left() + panel.width() / 8, panel.top() + 5);
  const QPoint to(panel.left() + panel.width() * 7 / 8, panel.bottom() - 5);
  for (auto [button, modifiers] :
       {std::pair{Qt::LeftButton, Qt::ShiftModifier}, std::pair{Qt::RightButton, Qt::NoModifier}}) {
    QTest::keyClick(plot, Qt::Key_Home);
    QTest::mousePress(plot, button, modifiers, from);
    QTest::mouseMove(plot, to);
    QTest::mouseRelease(plot, button, modifiers, to);
    EXPECT_NEAR(plot->timeRange().size(), whole.size() * 3 / 4, 2);
    EXPECT_NEAR(plot->timeRange().center(), whole.center(), 2);
  }
}

TEST_F(Chart, ReadOutShowsTheTableValuesAndGaps) {
  ChartWindow* chart = openChart();
  ASSERT_NE(chart, nullptr);
  const std::string table = readFile(out / "uc1.txt");
  const double at0731 = chart->plot()->timeRange().lower + 60;

  // Half a minute after 07:31: the row of 07:31, as the table has it.
  chart->showReadOut(at0731 + 30);
  const std::vector<std::string> row = tableRow(table, "05/03/14 07:31:00");
  ASSERT_EQ(row.size(), 4u);
  EXPECT_EQ(chart->readOutLabel()->text(), "Cursor: 05/03/2014 07:31:00");
  EXPECT_EQ(chart->summaryTable()->item(0, 11)->text().toStdString(), row[1]);
  EXPECT_EQ(chart->summaryTable()->item(1, 11)->text(), "gap");

  // 07:33: Room 1 has ended and the cellar not begun; the line breaks there.
  chart->showReadOut(at0731 + 120);
  EXPECT_EQ(chart->summaryTable()->item(0, 11)->text(), "gap");
  EXPECT_EQ(chart->summaryTable()->item(1, 11)->text(), "gap");
  const auto points = chart->plot()->graph(0)->data();
  ASSERT_EQ(points->size(), 4);  // 07:30, 07:31, 07:32, then the break
  EXPECT_TRUE(std::isnan(points->at(3)->value));

  // Hidden channels show nothing; a highlighted one gets its min and max marked.
  chart->setChannelVisible(2, false);
  chart->showReadOut(at0731 + 300);
  EXPECT_EQ(chart->summaryTable()->item(2, 11)->text(), "");
  EXPECT_EQ(chart->summaryTable()->item(1, 11)->text().toStdString(),
            tableRow(table, "05/03/14 07:36:00")[2]);
  chart->summaryTable()->selectRow(1);
  EXPECT_EQ(chart->plot()->graphCount(), 4);  // the three channels and the markers
  // Both its values read alike, so one row is lowest and highest: the two
  // labels lie apart, inside the panel.
  chart->plot()->replot();
  std::vector<QRectF> labels;
  for (int i = 0; i < chart->plot()->itemCount(); ++i) {
    auto* label = qobject_cast<QCPItemText*>(chart->plot()->item(i));
    if (label && label->text().startsWith("m")) {  // "min …" and "max …"
      labels.emplace_back(label->topLeft->pixelPosition(), label->bottomRight->pixelPosition());
      EXPECT_TRUE(QRectF(chart->plot()->axisRect(0)->rect()).contains(labels.back()));
    }
  }
  ASSERT_EQ(labels.size(), 2u);
  EXPECT_FALSE(labels[0].intersects(labels[1]));

  // Enter on a summary line shows that channel's period: the cellar's last
  // minutes (widened to the narrowest view of four rows).
  QTest::keyClick(chart->summaryTable(), Qt::Key_Return);
  EXPECT_EQ(chart->plot()->timeRange().lower, at0731 + 60);
  EXPECT_EQ(chart->plot()->timeRange().upper, at0731 + 300);
}

TEST_F(Chart, ExportsThePictureAndTheReport) {
  ChartWindow* chart = openChart();
  ASSERT_NE(chart, nullptr);
  chart->exportPng(out / "chart.png");
  EXPECT_TRUE(readFile(out / "chart.png").starts_with("\x89PNG"));
  chart->exportReport(out / "report.pdf");
  EXPECT_TRUE(readFile(out / "report.pdf").starts_with("%PDF"));
  if (std::string(KESTRIX_PDFTOTEXT).empty()) {
    ADD_FAILURE() << "no pdftotext (poppler-utils) to read the report back";
  } else {
    // Every summary cell stands in the report in full, none cut short.
    kestrix::testing::ProgramRun pdfToText;
    pdfToText.args = {"-layout", (out / "report.pdf").string(), "-"};
    pdfToText.folder = out.path();
    const kestrix::testing::ProgramResult text =
        kestrix::testing::runProgram(KESTRIX_PDFTOTEXT, pdfToText, out.path());
    ASSERT_EQ(text.status, 0) << text.err;
    for (const kestrix::chart::SummaryLine& line : chart->plot()->data().summary()) {
      for (const std::string* cell : {&line.first, &line.last, &line.minAt, &line.maxAt})
        EXPECT_NE(text.out.find(*cell), std::string::npos) << *cell << " in\n" << text.out;
    }
  }
  // A failed export names the file and says why; the earlier file stays.
  const auto failure = [](const std::function<void()>& write) -> std::string {
    try {
      write();
    } catch (const kestrix::ConversionError& e) {
      EXPECT_EQ(e.kind(), kestrix::ErrorKind::CannotWrite);
      return e.what();
    }
    return "no error";
  };
  const fs::path missing = out / "missing" / "report.pdf";
  EXPECT_EQ(failure([&] { chart->exportReport(missing); }),
            missing.string() + ": cannot create a file in " + (out / "missing").string() +
                ": No such file or directory");
  const std::string picture = readFile(out / "chart.png");
  {
    // Files may grow to 4 KiB only, while this block runs.
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit small{4096, limit.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &small);
    const std::string message = failure([&] { chart->exportPng(out / "chart.png"); });
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(message, (out / "chart.png").string() + ": write error: File too large");
  }
  EXPECT_EQ(readFile(out / "chart.png"), picture);
  bool called = false;
  chart->setXlsxExport([&](const kestrix::TableValues& t, const fs::path&, kestrix::RowRange,
                           const std::vector<kestrix::LimitRule>*,
                           std::optional<kestrix::PeriodKind>) { called = t.columnCount() == 3; });
  EXPECT_TRUE(chart->xlsxAction()->isEnabled());
  (void)called;
}

// After a zoom the cursor is where the mouse is, or gone when out of view; a
// panel without values says so; a rectangle across panels zooms the time only.
TEST_F(Chart, CursorFollowsTheViewEmptyPanelsSaySoAndRectanglesAcrossPanelsZoomTheTime) {
  ChartWindow* chart = openChart();
  ASSERT_NE(chart, nullptr);
  chart->show();
  kestrix::chart::ChartPlot* plot = chart->plot();
  plot->replot();
  const QCPRange whole = plot->timeRange();
  QCPAxisRect* top = plot->axisRect(0);
  QCPAxisRect* bottom = plot->axisRect(1);
  const QPoint nearEnd(top->rect().right() - 10, top->rect().center().y());
  QTest::mouseMove(plot, nearEnd);
  const QString before = chart->readOutLabel()->text();
  EXPECT_TRUE(before.startsWith("Cursor: 05/03/2014 07:3")) << before.toStdString();
  QTest::keyClick(plot, Qt::Key_Plus);  // around the middle: another time under the mouse
  const double underMouse = top->axis(QCPAxis::atBottom)->pixelToCoord(nearEnd.x());
  EXPECT_EQ(chart->readOutLabel()->text(), "Cursor: " + plot->readOut(underMouse).time);
  EXPECT_NE(chart->readOutLabel()->text(), before);

  // Away from the chart, a view without the cursor's time takes it away, and
  // the read-out tells what is drawn.
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(plot, &leave);
  plot->showRows({1, 2});  // widened to the narrowest view, four rows; the label says so
  EXPECT_EQ(chart->readOutLabel()->text(), "Period: 05/03/2014 07:30:00 to 05/03/2014 07:34:00");
  EXPECT_EQ(chart->summaryTable()->item(0, kestrix::ui::SummaryTable::cursorColumn())->text(), "");

  // 07:30 to 07:33: the cellar's humidity has not begun.
  plot->showRows({1, 4});
  EXPECT_FALSE(plot->panelEmpty(0));
  EXPECT_TRUE(plot->panelEmpty(1));
  EXPECT_FALSE(bottom->axis(QCPAxis::atLeft)->tickLabels());
  QTest::keyClick(plot, Qt::Key_Home);
  EXPECT_FALSE(plot->panelEmpty(1));

  // Shift+drag from the middle of the top panel to the bottom one: the
  // middle three quarters of the time, and every value in view in its panel.
  const QPoint from(top->rect().left() + top->rect().width() / 8, top->rect().center().y());
  const QPoint to(top->rect().left() + top->rect().width() * 7 / 8, bottom->rect().center().y());
  QTest::mousePress(plot, Qt::LeftButton, Qt::ShiftModifier, from);
  QTest::mouseMove(plot, to);
  QTest::mouseRelease(plot, Qt::LeftButton, Qt::ShiftModifier, to);
  EXPECT_NEAR(plot->timeRange().size(), whole.size() * 3 / 4, 2);
  for (int g = 0; g < 3; ++g) {
    const QCPRange values = plot->graph(g)->valueAxis()->range();
    for (auto point = plot->graph(g)->data()->begin(); point != plot->graph(g)->data()->end();
         ++point) {
      if (!std::isnan(point->value) && plot->timeRange().contains(point->key)) {
        EXPECT_TRUE(values.contains(point->value)) << g << ": " << point->value;
      }
    }
  }
}

// The picture carries a legend of the channels it shows; the report covers
// the rows in view and says so.
TEST_F(Chart, ThePictureHasALegendAndTheReportCoversTheRowsInView) {
  ChartWindow* chart = openChart();
  ASSERT_NE(chart, nullptr);
  kestrix::chart::ChartPlot* plot = chart->plot();
  chart->setChannelVisible(1, false);
  chart->exportPng(out / "chart.png");
  const QImage picture(QString::fromStdString((out / "chart.png").string()));
  ASSERT_GT(picture.height(), plot->height());
  const auto inLegend = [&](const QColor& colour) {
    for (int y = plot->height(); y < picture.height(); ++y)
      for (int x = 0; x < picture.width(); ++x)
        if (picture.pixel(x, y) == colour.rgb()) return true;
    return false;
  };
  EXPECT_TRUE(inLegend(plot->colour(0)));
  EXPECT_FALSE(inLegend(plot->colour(1)));
  EXPECT_TRUE(inLegend(plot->colour(2)));

  plot->showRows({2, 5});  // 07:31 to 07:34
  chart->exportReport(out / "report.pdf");
  kestrix::testing::ProgramRun pdfToText;
  pdfToText.args = {"-layout", (out / "report.pdf").string(), "-"};
  const kestrix::testing::ProgramResult text =
      kestrix::testing::runProgram(KESTRIX_PDFTOTEXT, pdfToText, out.path());
  ASSERT_EQ(text.status, 0) << text.err;
  for (const std::string& expected : std::vector<std::string>{
           "Period: 05/03/2014 07:31:00 to 05/03/2014 07:34:00, part of the run from 05/03/2014 "
           "07:30:00 to 05/03/2014 07:36:00",
           "Summary over the period drawn, 05/03/2014 07:31:00 to 05/03/2014 07:34:00",
           plot->data().cellText(0, 1) + " (05/03/2014 07:31:00)"})
    EXPECT_NE(text.out.find(expected), std::string::npos) << expected << " in\n" << text.out;
  EXPECT_EQ(text.out.find("(05/03/2014 07:30:00)"), std::string::npos) << text.out;
}

// The save dialog starts in the logger files' folder with a name, adds the
// suffix before it checks for an existing file, and refuses a logger file's name.
TEST_F(Chart, SaveDialogsSuggestANameAskBeforeReplacingAndKeepLoggerFiles) {
  ChartWindow* chart = openChart();
  ASSERT_NE(chart, nullptr);
  QAction* png = toolbarAction(chart, QStringLiteral("Chart as PNG\u2026"));
  ASSERT_NE(png, nullptr);
  kestrix::testing::writeFile(data / "chart.png", "earlier");
  const auto reject = [](QFileDialog* dialog) { dialog->reject(); };

  // "chart" would become chart.png, which is there: the dialog asks; No keeps it.
  QString suggested;
  QString question;
  whenShown<QFileDialog>([&](QFileDialog* dialog) {
    suggested = dialog->selectedFiles().value(0);
    whenShown<QMessageBox>([&](QMessageBox* box) {
      question = box->text();
      box->button(QMessageBox::No)->click();
      whenShown<QFileDialog>(reject);
    });
    typeFileName(dialog, QStringLiteral("chart"));
  });
  png->trigger();
  EXPECT_EQ(suggested.toStdString(), (data / "chart.png").string());
  EXPECT_TRUE(question.contains(QStringLiteral("chart.png already exists")))
      << question.toStdString();
  EXPECT_EQ(readFile(data / "chart.png"), "earlier");

  // A logger file's name is refused with a reason, and the dialog comes back.
  QString refusal;
  whenShown<QFileDialog>([&](QFileDialog* dialog) {
    whenShown<QMessageBox>([&](QMessageBox* box) {
      refusal = box->text();
      box->button(QMessageBox::Ok)->click();
      whenShown<QFileDialog>(reject);
    });
    typeFileName(dialog, QStringLiteral("uc9.pdb"));
  });
  png->trigger();
  EXPECT_TRUE(refusal.contains(QStringLiteral("uc9.pdb: not written: the name ends in .pdb")))
      << refusal.toStdString();
  EXPECT_FALSE(fs::exists(data / "uc9.pdb"));

  // A new bare name gets its suffix.
  whenShown<QFileDialog>(
      [&](QFileDialog* dialog) { typeFileName(dialog, QStringLiteral("picture")); });
  png->trigger();
  EXPECT_TRUE(readFile(data / "picture.png").starts_with("\x89PNG"));
}

// "Table as CSV…" writes the whole run, or with "Only the range in view"
// ticked the rows in view; the report's dialog has it ticked at first.
TEST_F(Chart, TableAsCsvCoversTheRunOrOnlyTheRangeInView) {
  ChartWindow* chart = openChart();
  ASSERT_NE(chart, nullptr);
  ASSERT_EQ(chart->csvAction()->text(), QStringLiteral("Table as CSV\u2026"));
  chart->plot()->showRows(kestrix::RowRange{2, 6});
  ASSERT_EQ(chart->plot()->rowsInView().first, 2);
  ASSERT_EQ(chart->plot()->rowsInView().last, 6);
  const auto save = [&](QAction* action, const QString& name, bool inView) {
    bool offered = false;
    whenShown<QFileDialog>([&, name, inView](QFileDialog* dialog) {
      auto* box = dialog->findChild<QCheckBox*>(QLatin1String(kestrix::ui::saveChoiceName));
      if (box) {
        offered = box->text() == QStringLiteral("Only the range in view") &&
                  box->isChecked() == action->text().startsWith(QStringLiteral("PDF"));
        box->setChecked(inView);
      }
      typeFileName(dialog, name);
    });
    action->trigger();
    return offered;
  };
  EXPECT_TRUE(save(chart->csvAction(), QStringLiteral("whole"), false));
  EXPECT_TRUE(save(chart->csvAction(), QStringLiteral("part"), true));

  kestrix::StringSink expected;
  kestrix::writeCsv(chart->plot()->data().run(), expected, {});
  const std::string whole = readFile(data / "whole.csv");
  EXPECT_EQ(whole, expected.data);
  std::vector<std::string> lines = kestrix::testing::crlfLines(whole);
  ASSERT_EQ(lines.size(), 1u + 7u);
  lines.erase(lines.begin() + 7);
  lines.erase(lines.begin() + 1);
  EXPECT_EQ(kestrix::testing::crlfLines(readFile(data / "part.csv")), lines);
  EXPECT_EQ(lines[1].substr(0, 20), "2014-03-05T07:31:00,");

  EXPECT_TRUE(
      save(toolbarAction(chart, QStringLiteral("PDF report\u2026")), QStringLiteral("r"), true));
  EXPECT_TRUE(readFile(data / "r.pdf").starts_with("%PDF"));

  // The workbook's hook is told the rows to write.
  std::vector<std::pair<std::int64_t, std::int64_t>> asked;
  chart->setXlsxExport(
      [&](const kestrix::TableValues&, const fs::path&, kestrix::RowRange rows,
          const std::vector<kestrix::LimitRule>*,
          std::optional<kestrix::PeriodKind>) { asked.emplace_back(rows.first, rows.last); });
  EXPECT_TRUE(save(chart->xlsxAction(), QStringLiteral("all"), false));
  EXPECT_TRUE(save(chart->xlsxAction(), QStringLiteral("seen"), true));
  EXPECT_EQ(asked, (std::vector<std::pair<std::int64_t, std::int64_t>>{{1, 7}, {2, 6}}));
}

}  // namespace

// Runs of no row, one row and two: every action still has a view to act on.
TEST(ChartOfShortRuns, DrawZoomReadAndReportWithoutFault) {
  application();
  TempFolder out;
  for (const std::vector<std::int16_t>& samples :
       {std::vector<std::int16_t>{}, std::vector<std::int16_t>{400},
        std::vector<std::int16_t>{400, 401}}) {
    LoggerFileBuilder b;
    b.name("Short").loggerId(1).start(2014, 3, 5, 7, 30, 0).intervalCode(7).typeCode(1);
    b.samples(samples);
    auto run = std::make_shared<const kestrix::ConversionRun>(kestrix::testing::runOf({b}));
    auto data = std::make_shared<const kestrix::chart::ChartData>(run);
    ChartWindow window(data);
    window.show();
    kestrix::chart::ChartPlot* plot = window.plot();
    plot->replot();
    plot->zoomTime(0.5);
    plot->panTime(0.3);
    plot->showChannelPeriod(0);
    window.summaryTable()->selectRow(0);
    plot->replot();
    window.showReadOut(plot->timeRange().center());
    QTest::keyClick(plot, Qt::Key_Home);
    window.exportReport(out / "short.pdf");
    EXPECT_GT(plot->timeRange().size(), 0);
    EXPECT_TRUE(readFile(out / "short.pdf").starts_with("%PDF"));
  }
}

// The chart gets the room: at least 70 % of the height at first, each of its
// panels at least 80 pixels high however small the window (the panels
// scroll), the tables in tabs below it that fold away, the period bars in a
// tab of their own as high as the panels.
TEST(ChartWindowLayout, TheChartKeepsTheRoomAndEachPanelEightyPixels) {
  application();
  std::vector<LoggerFileBuilder> files(4);
  const std::uint8_t types[] = {1, 2, 3, 4};  // °C, Pulses, °C and %RH, Watts
  for (std::size_t i = 0; i < files.size(); ++i) {
    files[i].name("Logger " + std::to_string(i)).loggerId(static_cast<std::uint16_t>(i + 1));
    files[i].start(2014, 3, 5, 7, 30, 0).intervalCode(7).typeCode(types[i]);
    files[i].samples({200, 500, 201, 510, 205, 520});
  }
  auto run = std::make_shared<const kestrix::ConversionRun>(kestrix::testing::runOf(files));
  ChartWindow window(std::make_shared<const kestrix::chart::ChartData>(run));
  window.show();
  QApplication::processEvents();
  QTabWidget* views = window.views();
  EXPECT_LE(views->height(), window.height() * 3 / 10 + 1);
  ASSERT_EQ(window.plot()->axisRects().size(), 4);
  for (QCPAxisRect* panel : window.plot()->axisRects()) EXPECT_GE(panel->rect().height(), 80);
  ASSERT_GE(views->count(), 3);
  EXPECT_EQ(views->tabText(0), "Summary");
  EXPECT_EQ(views->tabText(1), "Periods");
  EXPECT_EQ(views->tabText(2), "Excursions");
  EXPECT_FALSE(views->isTabVisible(2));  // no limits

  window.resize(800, 360);  // too small for four panels: they keep their height
  QApplication::processEvents();
  for (QCPAxisRect* panel : window.plot()->axisRects()) EXPECT_GE(panel->rect().height(), 80);

  views->setCurrentWidget(window.periodView());
  window.periodView()->shown()->setCurrentIndex(1);  // the bars
  QApplication::processEvents();
  EXPECT_GE(window.periodView()->bars()->height(), 4 * 80);
}

// Many channels: the summary shows some of them at first, and their names
// stay in view beside the cursor column when the table scrolls sideways.
TEST(ChartSummary, LinesAndTheChannelNamesAlwaysInView) {
  application();
  std::vector<LoggerFileBuilder> files(6);  // two channels each
  for (std::size_t i = 0; i < files.size(); ++i) {
    files[i].name("Logger " + std::to_string(i)).loggerId(static_cast<std::uint16_t>(i + 1));
    files[i].start(2014, 3, 5, 7, 30, 0).intervalCode(7).typeCode(3).samples({200, 500, 201, 510});
  }
  auto run = std::make_shared<const kestrix::ConversionRun>(kestrix::testing::runOf(files));
  ChartWindow window(std::make_shared<const kestrix::chart::ChartData>(run));
  window.resize(700, 760);
  window.show();
  QApplication::processEvents();
  kestrix::ui::SummaryTable* table = window.summaryTable();
  // The chart keeps most of the height (ChartWindowLayout): the summary shows
  // a few lines at first, more as the splitter gives it room.
  EXPECT_GE(table->viewport()->height(), 3 * table->rowHeight(0));

  QScrollBar* sideways = table->horizontalScrollBar();
  ASSERT_GT(sideways->maximum(), 0);
  sideways->setValue(sideways->maximum());
  const QTableView* names = table->channelColumn();
  EXPECT_TRUE(names->isVisible());
  EXPECT_EQ(names->geometry().left(), table->frameWidth());
  EXPECT_EQ(names->columnWidth(0), table->columnWidth(0));
  const QRect cursor =
      table->visualRect(table->model()->index(0, kestrix::ui::SummaryTable::cursorColumn()));
  EXPECT_GE(cursor.left(), names->columnWidth(0));
  EXPECT_LE(cursor.right(), table->viewport()->width());

  table->verticalScrollBar()->setValue(table->verticalScrollBar()->maximum());
  EXPECT_GT(names->verticalScrollBar()->value(), 0);
  EXPECT_EQ(names->verticalScrollBar()->value(), table->verticalScrollBar()->value());
}

// Whether the picture `ours` is `plain` but for its lines inside `panels`,
// which may lie a pixel off: outside them every pixel the same; inside, at
// least 95 in 100 of the pixels that differ having the other picture's colour
// a pixel away in each (where lines cross, one a pixel off may hide another).
::testing::AssertionResult linesWithinAPixel(const QImage& ours, const QImage& plain,
                                             const std::vector<QRect>& panels) {
  if (ours.size() != plain.size()) return ::testing::AssertionFailure() << "sizes differ";
  const auto near = [](const QImage& image, int x, int y, QRgb colour) {
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx)
        if (image.valid(x + dx, y + dy) && image.pixel(x + dx, y + dy) == colour) return true;
    return false;
  };
  int differing = 0, unexplained = 0;
  for (int y = 0; y < ours.height(); ++y) {
    for (int x = 0; x < ours.width(); ++x) {
      if (ours.pixel(x, y) == plain.pixel(x, y)) continue;
      const bool inPanel = std::any_of(panels.begin(), panels.end(),
                                       [&](const QRect& r) { return r.contains(x, y); });
      if (!inPanel)
        return ::testing::AssertionFailure() << "pixel " << x << ", " << y << " outside the panels";
      ++differing;
      if (!near(plain, x, y, ours.pixel(x, y)) || !near(ours, x, y, plain.pixel(x, y)))
        ++unexplained;
    }
  }
  if (unexplained * 20 > differing)
    return ::testing::AssertionFailure()
           << unexplained << " of " << differing << " differing pixels not a pixel off";
  return ::testing::AssertionSuccess();
}

// The drawing shortcuts (a panel's one-pixel lines written into its pixels
// on two threads, the later graphs over the earlier; the shading stretched
// from one row): the picture drawn the plain way, its lines to within a
// pixel, across views, with a bold line (whose panel is drawn the plain way),
// a hidden one, lines running off the panel's edges and excursions shaded.
// Two panels of five wavy, jagged lines each (temperature and humidity).
std::shared_ptr<const kestrix::chart::ChartData> wavyChart() {
  std::vector<LoggerFileBuilder> files(5);
  for (std::size_t i = 0; i < files.size(); ++i) {
    std::vector<std::int16_t> samples;
    for (int k = 0; k < 1500; ++k) {
      const double wave = std::sin(k * 0.02 + static_cast<double>(i)) * 900;
      samples.push_back(
          static_cast<std::int16_t>(5460 + wave + (k * 7 + static_cast<int>(i)) % 23 * 9));
      samples.push_back(static_cast<std::int16_t>(1200 + wave / 3 + (k * 5) % 17 * 11));
    }
    files[i].name("Logger " + std::to_string(i)).loggerId(static_cast<std::uint16_t>(i + 1));
    files[i].start(2014, 3, 5, 7, 30, 0).intervalCode(7).typeCode(3).samples(samples);
  }
  auto run = std::make_shared<const kestrix::ConversionRun>(kestrix::testing::runOf(files));
  return std::make_shared<const kestrix::chart::ChartData>(run);
}

TEST(ChartLines, ShortcutsDrawThePlainPicture) {
  application();
  const auto data = wavyChart();
  kestrix::chart::ChartPlot plot(data);
  // Excursions shaded: without alarm (a long delay), and with one for logger 1.
  kestrix::LimitRule patient, strict;
  patient.unit = "\u00B0C";
  patient.delaySeconds = 1'000'000'000;
  strict.logger = 1;
  for (kestrix::LimitRule* rule : {&patient, &strict}) {
    rule->low = 12.0;
    rule->high = 18.0;
  }
  plot.setLimits(std::make_shared<const kestrix::chart::ChartLimits>(
      *data, std::vector<kestrix::LimitRule>{patient, strict}));
  plot.resize(640, 360);
  plot.show();
  const auto same = [&plot](const char* view) {
    // As exported, and as on the screen.
    plot.setDrawingShortcuts(false);
    plot.replot();
    const QImage exported = plot.toPixmap().toImage();
    const QImage shown = plot.grab().toImage();
    plot.setDrawingShortcuts(true);
    plot.replot();
    std::vector<QRect> panels;  // as their lines are clipped: from a pixel above
    for (int p = 0; p < plot.axisRectCount(); ++p)
      panels.push_back(plot.axisRect(p)->rect().adjusted(0, -1, 0, 0));
    EXPECT_TRUE(linesWithinAPixel(plot.toPixmap().toImage(), exported, panels)) << view;
    EXPECT_TRUE(linesWithinAPixel(plot.grab().toImage(), shown, panels)) << view;
  };
  same("whole run");
  plot.zoomTime(0.2);
  same("zoomed in");
  plot.setHighlighted(3);
  plot.setChannelVisible(6, false);
  QCPAxisRect* panel = plot.panelOf(0);
  panel->axis(QCPAxis::atLeft)->setRange(15, 25);  // lines off the top and bottom
  same("a bold line, a hidden one, lines off the edges");
}

// At a device pixel ratio of 2 (a screen at 200 %) the painter doubles every
// pixel behind the plot's back: the chart draws as QCustomPlot does, the
// same picture with its shortcuts on as off, and every line shows.
TEST(ChartLines, AtDevicePixelRatioTwoThePanelsDrawThePlainWay) {
  application();
  const auto data = wavyChart();
  kestrix::chart::ChartPlot plot(data);
  plot.resize(640, 360);
  plot.replot();
  const auto picture = [&plot](bool shortcuts) {
    plot.setDrawingShortcuts(shortcuts);
    QImage image(2 * plot.size(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Qt::white);
    QCPPainter painter(&image);
    plot.toPainter(&painter, plot.width(), plot.height());
    return image;
  };
  const QImage plain = picture(false);
  EXPECT_TRUE(picture(true) == plain) << "the shortcuts changed the picture";
  for (std::size_t c = 0; c < data->channels().size(); ++c) {
    const QRect panel = plot.panelOf(c)->rect();
    int pixels = 0;
    for (int y = 2 * panel.top(); y < 2 * (panel.bottom() + 1); ++y)
      for (int x = 2 * panel.left(); x < 2 * (panel.right() + 1); ++x)
        pixels += plain.pixel(x, y) == plot.colour(c).rgb();
    EXPECT_GT(pixels, 2 * panel.width()) << "channel " << c;
  }
}

// Lines written into pixels keep to their clip whatever their points: far
// off, infinite or missing ones break nothing and write nothing outside.
TEST(ChartLines, PixelLinesKeepToTheClip) {
  kestrix::chart::LinePixels pixels;
  pixels.reset(QSize(20, 10), QPoint(100, 50), QRect(102, 51, 15, 8));  // pixels 2..16 x 1..8
  const double far = 1e300, inf = std::numeric_limits<double>::infinity();
  const QPointF points[] = {{-far, 55.5}, {far, 55.5}, {NAN, 52},   {110.5, -far},
                            {110.5, far}, {105, inf},  {112.2, 53}, {112.2, 53}};
  pixels.draw(points, static_cast<int>(std::size(points)), 7);
  QImage image(20, 10, QImage::Format_ARGB32_Premultiplied);
  QRgb colours[kestrix::chart::LinePixels::kMostColours + 1] = {};
  colours[7] = qRgb(10, 200, 30);
  pixels.paint(colours, image);
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 20; ++x) {
      // The row across (y 55.5), the column down (x 110.5) and the lone point at (112.2, 53).
      const bool lit =
          ((y == 5 || x == 10) && x >= 2 && x <= 16 && y >= 1 && y <= 8) || (x == 12 && y == 3);
      EXPECT_EQ(image.pixel(x, y), lit ? colours[7] : 0u) << x << ", " << y;
    }
  }
}

// The shading covers an excursion's time and no other, one row of it still
// a pixel column at a view of many rows a column; a hidden channel's
// excursions are not shaded, and are again once it is shown.
TEST(ChartLines, ShadingCoversTheExcursionsTime) {
  application();
  std::vector<std::int16_t> samples(6000, 160);  // 10 °C, in sixteenths
  std::fill(samples.begin() + 2000, samples.begin() + 2600, std::int16_t{320});
  samples[5000] = 320;  // one row above
  LoggerFileBuilder file;
  file.name("Cold room").loggerId(1).start(2014, 3, 5, 7, 30, 0).intervalCode(7).typeCode(1);
  file.samples(samples);
  auto run = std::make_shared<const kestrix::ConversionRun>(kestrix::testing::runOf({file}));
  auto data = std::make_shared<const kestrix::chart::ChartData>(run);
  kestrix::chart::ChartPlot plot(data);
  kestrix::LimitRule rule;
  rule.unit = "\u00B0C";
  rule.low = 5.0;  // the panel then reaches down to 5, below the line
  rule.high = 15.0;
  plot.setLimits(std::make_shared<const kestrix::chart::ChartLimits>(
      *data, std::vector<kestrix::LimitRule>{rule}));
  plot.resize(700, 300);
  plot.show();
  plot.replot();
  QCPAxisRect* panel = plot.panelOf(0);
  QImage shaded(1, 1, QImage::Format_ARGB32_Premultiplied);  // the alarm's shade on white
  shaded.fill(Qt::white);
  QPainter(&shaded).fillRect(0, 0, 1, 1, kestrix::chart::LimitMarks::alarmColour());
  const auto shadedColumns = [&] {
    const QImage picture = plot.toPixmap().toImage();
    // Between the low limit and the line.
    const int y = static_cast<int>(panel->axis(QCPAxis::atLeft)->coordToPixel(7.5));
    std::vector<int> columns;
    for (int x = panel->left(); x <= panel->right(); ++x)
      if (picture.pixel(x, y) == shaded.pixel(0, 0)) columns.push_back(x);
    return columns;
  };
  const auto pixel = [&](std::int64_t row0) {
    return panel->axis(QCPAxis::atBottom)->coordToPixel(data->keyOfRow(static_cast<double>(row0)));
  };
  const std::vector<int> columns = shadedColumns();
  const double from = pixel(2000), to = pixel(2600), one = pixel(5000);
  ASSERT_FALSE(columns.empty());
  for (const int x : columns) {
    const bool inLong = x >= std::floor(from) && x < std::ceil(to);
    const bool inOne = x >= std::floor(one) - 1 && x <= std::ceil(one);
    EXPECT_TRUE(inLong || inOne) << x;
  }
  EXPECT_GE(std::count_if(columns.begin(), columns.end(), [&](int x) { return x < one - 2; }),
            static_cast<long>(to - from));
  EXPECT_GE(std::count_if(columns.begin(), columns.end(), [&](int x) { return x >= one - 2; }), 1);

  plot.setChannelVisible(0, false);
  plot.replot();
  EXPECT_TRUE(shadedColumns().empty());
  plot.setChannelVisible(0, true);
  plot.replot();
  EXPECT_EQ(shadedColumns(), columns);
}

// The min and max labels of a channel whose extremes lie side by side at the
// end of a short panel: each label within reach of its ring, or tied to it.
// The chart draws its lines from pixels it works out itself: they must be
// the axes' own, to the last bit, or the pictures would shift.
TEST(ChartLines, PixelsAreTheAxesOwn) {
  application();
  QCustomPlot plot;
  plot.resize(731, 389);
  plot.xAxis->setRange(1.7e9 + 0.3, 1.7e9 + 86'400.7);
  plot.yAxis->setRange(-41.3, 127.9);
  plot.replot();
  const kestrix::chart::AxisPixels x(*plot.xAxis);
  const kestrix::chart::AxisPixels y(*plot.yAxis);
  ASSERT_TRUE(x.linear() && y.linear());
  for (int i = -50; i <= 1050; ++i) {
    const double key = 1.7e9 + i * 86.4001;
    const double value = -41.3 + i * 0.1693;
    ASSERT_EQ(x(key), plot.xAxis->coordToPixel(key)) << i;
    ASSERT_EQ(y(value), plot.yAxis->coordToPixel(value)) << i;
  }
  plot.yAxis->setRangeReversed(true);
  EXPECT_FALSE(kestrix::chart::AxisPixels(*plot.yAxis).linear());
}

// The same lines as QCPGraph draws, breaks, a bold pen and points outside
// the view included: pixel for pixel.
TEST(ChartLines, DrawnAsQcpGraphDrawsThem) {
  application();
  auto picture = [](bool ours, double penWidth) {
    QCustomPlot plot;
    plot.resize(500, 300);
    QCPGraph* graph = ours ? new kestrix::chart::ChannelGraph(plot.xAxis, plot.yAxis)
                           : plot.addGraph(plot.xAxis, plot.yAxis);
    graph->setPen(QPen(Qt::darkGreen, penWidth));
    graph->setAdaptiveSampling(false);
    plot.setNotAntialiasedElements(QCP::aePlottables);
    plot.setPlottingHint(QCP::phFastPolylines, false);
    for (int i = 0; i < 3000; ++i)
      graph->addData(i * 0.37, i % 97 == 0 ? NAN : std::sin(i * 0.05) * 40 + (i % 7) * 3.1);
    plot.xAxis->setRange(80.3, 950.9);
    plot.yAxis->setRange(-45, 60);
    return plot.toPixmap().toImage();
  };
  for (const double width : {1.0, 2.6}) EXPECT_EQ(picture(true, width), picture(false, width));
}

TEST(ChartMarks, LabelsStayNearTheirRingsOrGetALeaderLine) {
  application();
  LoggerFileBuilder wide, flat;  // one panel: a wide swing, and a line with its extremes last
  wide.name("Wide").loggerId(1).start(2014, 3, 5, 7, 30, 0).intervalCode(7).typeCode(1);
  flat.name("Flat").loggerId(2).start(2014, 3, 5, 7, 30, 0).intervalCode(7).typeCode(1);
  std::vector<std::int16_t> swing, level(198, 1584);  // sixteenths of a degree: 99.0
  for (int i = 0; i < 200; ++i) swing.push_back(static_cast<std::int16_t>(i % 2 ? 1600 : 0));
  level.push_back(1600);  // 100.0 at the top of the panel, then 98.0
  level.push_back(1568);
  wide.samples(swing);
  flat.samples(level);
  auto run = std::make_shared<const kestrix::ConversionRun>(kestrix::testing::runOf({wide, flat}));
  kestrix::chart::ChartPlot plot(std::make_shared<const kestrix::chart::ChartData>(run));
  plot.resize(600, 160);
  plot.show();
  plot.setHighlighted(1);
  plot.replot();

  const QCPGraph* rings = plot.graph(2);  // in time order: the max, then the min
  ASSERT_EQ(rings->dataCount(), 2);
  std::vector<QPointF> marks;  // the min's, then the max's, as the labels come
  for (int i : {1, 0})
    marks.push_back(rings->coordsToPixels(rings->data()->at(i)->key, rings->data()->at(i)->value));
  std::vector<QRectF> labels;
  std::vector<QLineF> leaders;
  for (int i = 0; i < plot.itemCount(); ++i) {
    auto* label = qobject_cast<QCPItemText*>(plot.item(i));
    if (label && label->text().startsWith("m"))
      labels.emplace_back(label->topLeft->pixelPosition(), label->bottomRight->pixelPosition());
    auto* leader = qobject_cast<QCPItemLine*>(plot.item(i));
    if (leader && leader->visible())
      leaders.emplace_back(leader->start->pixelPosition(), leader->end->pixelPosition());
  }
  ASSERT_EQ(labels.size(), 2u);
  EXPECT_FALSE(labels[0].intersects(labels[1]));
  for (std::size_t i = 0; i < 2; ++i) {
    const QRectF& box = labels[i];
    const double dx = std::max({box.left() - marks[i].x(), 0.0, marks[i].x() - box.right()});
    const double dy = std::max({box.top() - marks[i].y(), 0.0, marks[i].y() - box.bottom()});
    const bool tied = std::any_of(leaders.begin(), leaders.end(), [&](const QLineF& line) {
      return QLineF(line.p1(), marks[i]).length() < 1 &&
             box.adjusted(-1, -1, 1, 1).contains(line.p2());
    });
    EXPECT_TRUE(std::hypot(dx, dy) <= 20 || tied)
        << "label " << i << " stands " << std::hypot(dx, dy) << " px from its ring";
  }
}

// The Periods tab: a line per channel and day, bars per panel, a double-click
// shows the line's period, and the report takes the table when asked.
TEST_F(Chart, PeriodsViewShowsEachChannelsDaysAndTheirPeriodInTheChart) {
  ChartWindow* chart = openChart();
  ASSERT_NE(chart, nullptr);
  kestrix::ui::PeriodView* periods = chart->periodView();
  EXPECT_EQ(periods->table(), nullptr);  // worked out when first shown
  chart->views()->setCurrentWidget(periods);
  ASSERT_NE(periods->table(), nullptr);
  QTableView* lines = periods->lines();
  ASSERT_EQ(lines->model()->rowCount(), 3);  // one day, three channels
  EXPECT_EQ(lines->model()->index(2, 2).data().toString(), "05/03/2014");
  EXPECT_EQ(lines->model()->index(2, 4).data().toString(), "2");  // values
  EXPECT_EQ(periods->bars()->barCount(), 3);

  kestrix::chart::ChartPlot* plot = chart->plot();
  plot->showRows({2, 3});
  QApplication::processEvents();  // the tab laid out
  const QModelIndex line = lines->model()->index(1, 0);
  ASSERT_TRUE(lines->viewport()->rect().contains(lines->visualRect(line).center()));
  // A real double-click: press and release, then the double-click event.
  QTest::mouseClick(lines->viewport(), Qt::LeftButton, {}, lines->visualRect(line).center());
  QTest::mouseDClick(lines->viewport(), Qt::LeftButton, {}, lines->visualRect(line).center());
  EXPECT_EQ(plot->rowsInView(), (kestrix::RowRange{1, 7}));

  periods->choice()->setCurrentIndex(3);  // the whole run
  EXPECT_EQ(periods->kind(), kestrix::PeriodKind::All);
  EXPECT_EQ(lines->model()->index(0, 2).data().toString(), "05/03/2014");
  periods->reportBox()->setChecked(true);
  chart->exportReport(out / "periods.pdf");
  kestrix::testing::ProgramRun pdfToText;
  pdfToText.args = {"-layout", (out / "periods.pdf").string(), "-"};
  const kestrix::testing::ProgramResult text =
      kestrix::testing::runProgram(KESTRIX_PDFTOTEXT, pdfToText, out.path());
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find("Period table: Whole run, over the whole run"), std::string::npos)
      << text.out;
}

// A day that holds none of a channel's samples (before its file's first,
// after its last) gives that channel no line in the Periods tab.
TEST(ChartPeriods, DaysWithoutAChannelsSamplesAreLeftOut) {
  application();
  std::vector<LoggerFileBuilder> files(2);
  files[0].name("Early").loggerId(1).start(2014, 3, 1, 0, 0, 0).intervalCode(9);  // hourly
  files[0].samples(std::vector<std::int16_t>(24, 400));                           // 1 March
  files[1].name("Late").loggerId(2).start(2014, 3, 5, 0, 0, 0).intervalCode(9);
  files[1].samples({400, 401, 402});  // 5 March
  auto run = std::make_shared<const kestrix::ConversionRun>(kestrix::testing::runOf(files));
  ChartWindow window(std::make_shared<const kestrix::chart::ChartData>(run));
  window.show();
  window.views()->setCurrentWidget(window.periodView());
  QApplication::processEvents();
  ASSERT_NE(window.periodView()->table(), nullptr);
  EXPECT_EQ(window.periodView()->table()->periods.size(), 5u);      // 1 to 5 March
  EXPECT_EQ(window.periodView()->lines()->model()->rowCount(), 2);  // a day each
}
