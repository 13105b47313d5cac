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
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <functional>

#include "Form1.hpp"
#include "chart_plot.hpp"
#include "chart_window.hpp"
#include "conversion.hpp"
#include "error.hpp"
#include "qt_application.hpp"
#include "run_program.hpp"

namespace fs = std::filesystem;
using kestrix::testing::application;
using kestrix::testing::LoggerFileBuilder;
using kestrix::testing::readFile;
using kestrix::testing::TempFolder;
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

// Runs `act` on the next modal window of type T that `accepts`, once it shows:
// what a user does in a dialog that a test has opened.
template <class T>
void whenShown(std::function<void(T*)> act, std::function<bool(T*)> accepts = {},
               int triesLeft = 200) {
  QTimer::singleShot(10, [=] {
    auto* shown = qobject_cast<T*>(QApplication::activeModalWidget());
    if (shown && (!accepts || accepts(shown))) {
      act(shown);
    } else if (triesLeft > 0) {
      whenShown<T>(act, accepts, triesLeft - 1);
    } else {
      ADD_FAILURE() << "no dialog showed";
    }
  });
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
    if (auto* label = qobject_cast<QCPItemText*>(chart->plot()->item(i))) {
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
  chart->setXlsxExport(
      [&](const kestrix::TableValues& t, const fs::path&) { called = t.columnCount() == 3; });
  EXPECT_TRUE(chart->xlsxAction()->isEnabled());
  (void)called;
}

// The save dialog starts in the logger files' folder with a name, adds the
// suffix before it checks for an existing file, and refuses a logger file's name.
TEST_F(Chart, SaveDialogsSuggestANameAskBeforeReplacingAndKeepLoggerFiles) {
  ChartWindow* chart = openChart();
  ASSERT_NE(chart, nullptr);
  QAction* png = toolbarAction(chart, QStringLiteral("Chart as PNG\u2026"));
  ASSERT_NE(png, nullptr);
  kestrix::testing::writeFile(data / "chart.png", "earlier");
  const auto type = [](QFileDialog* dialog, const QString& name) {
    dialog->selectFile(name);
    QMetaObject::invokeMethod(dialog, "accept");
  };
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
    type(dialog, QStringLiteral("chart"));
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
    type(dialog, QStringLiteral("uc9.pdb"));
  });
  png->trigger();
  EXPECT_TRUE(refusal.contains(QStringLiteral("uc9.pdb: not written: the name ends in .pdb")))
      << refusal.toStdString();
  EXPECT_FALSE(fs::exists(data / "uc9.pdb"));

  // A new bare name gets its suffix.
  whenShown<QFileDialog>([&](QFileDialog* dialog) { type(dialog, QStringLiteral("picture")); });
  png->trigger();
  EXPECT_TRUE(readFile(data / "picture.png").starts_with("\x89PNG"));
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
