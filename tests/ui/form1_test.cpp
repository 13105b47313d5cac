// The window on Qt's offscreen platform: layout, lists, runs, clipboard and refusals.

#include <gtest/gtest.h>

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "Form1.hpp"
#include "clipboard.hpp"
#include "folders.hpp"
#include "logger_file_builder.hpp"
#include "modal_dialogs.hpp"
#include "qt_application.hpp"
#include "startup.hpp"
#include "summary_table.hpp"
#include "temp_folder.hpp"
#include "text.hpp"

// Failures show texts as texts.
void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace fs = std::filesystem;
using kestrix::testing::application;
using kestrix::testing::LoggerFileBuilder;
using kestrix::testing::readFile;
using kestrix::testing::TempFolder;
using kestrix::testing::typeFileName;
using kestrix::testing::whenShown;
using kestrix::testing::writeFile;
using kestrix::ui::Form1;

namespace {

QStringList entries(const QListWidget* list) {
  QStringList texts;
  for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
  return texts;
}

QStringList selected(const QListWidget* list) {
  QStringList texts;
  for (int i = 0; i < list->count(); ++i)
    if (list->item(i)->isSelected()) texts << list->item(i)->text();
  return texts;
}

void click(QListWidget* list, const QString& text, Qt::KeyboardModifiers modifiers = {}) {
  const auto found = list->findItems(text, Qt::MatchExactly);
  ASSERT_EQ(found.size(), 1) << text.toStdString();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                    list->visualItemRect(found.front()).center());
}

void doubleClick(QListWidget* list, const QString& text) {
  const auto found = list->findItems(text, Qt::MatchExactly);
  ASSERT_EQ(found.size(), 1) << text.toStdString();
  const QPoint at = list->visualItemRect(found.front()).center();
  // A real double-click: press and release, then the double-click event.
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

std::size_t entriesIn(const fs::path& dir) {
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

class Window : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { application(); }

  void SetUp() override {
    LoggerFileBuilder one;  // one temperature channel, three samples a minute apart
    one.name("Room 1").loggerId(0x1A2B).start(2014, 3, 5, 7, 30, 0).intervalCode(7).typeCode(1);
    one.samples({400, 401, 402});
    ASSERT_TRUE(one.writeTo((data / "UC1.PDB").string()));
    LoggerFileBuilder two;  // temperature and humidity, five minutes later
    two.name("Cellar").loggerId(7).start(2014, 3, 5, 7, 35, 0).intervalCode(7).typeCode(3);
    two.samples({200, 500, 201, 510});
    ASSERT_TRUE(two.writeTo((data / "uc2.pdb").string()));
    writeFile(data / "data.pdb", readFile(data / "UC1.PDB"));
    QGuiApplication::clipboard()->setText(QStringLiteral("earlier clipboard"));
  }

  std::unique_ptr<Form1> makeForm(const fs::path& start) {
    auto form = std::make_unique<Form1>(Form1::Options{start, out.path(), {}, folderCheck});
    form->setMessageHandler([this](const QString& text) { messages << text; });
    QObject::connect(form->statusBox, &QLineEdit::textChanged,
                     [this](const QString& text) { statuses << text; });
    return form;
  }
  std::unique_ptr<Form1> makeForm() { return makeForm(data.path()); }

  fs::path table() const { return out / "uc1.txt"; }
  // The closing status as the status box shows it.
  QString done(const char* status = "Done...") const {
    return QStringLiteral("%1 written to %2").arg(status, QString::fromStdString(table().string()));
  }

  TempFolder data;
  TempFolder out;
  kestrix::ui::FolderCheck folderCheck;  // empty: the user's rights
  QStringList statuses;
  QStringList messages;
};

TEST_F(Window, ControlsCaptionsAndGeometry) {
  auto form = makeForm();
  EXPECT_EQ(form->windowTitle(), "ULMACORDER");
  EXPECT_EQ(form->size(), QSize(448, 522));

  struct Control {
    QWidget* widget;
    const char* name;  // the object name tools find it by
    QRect geometry;
  };
  const Control controls[] = {
      {form->driveList, "Drive1", {16, 8, 249, 21}},
      {form->folderList, "Dir1", {16, 32, 249, 366}},
      {form->fileList, "File1", {272, 24, 169, 370}},
      {form->brandLabel, "Label2", {312, 0, 121, 25}},
      {form->statusBox, "etat", {24, 400, 417, 25}},
      {form->clipboardOption, "Check1", {16, 440, 137, 17}},
      {form->clipboardNote, "Label3", {152, 440, 153, 17}},
      {form->overflowOption, "Check2", {16, 464, 217, 17}},
      {form->joinOption, "Check3", {16, 481, 249, 15}},
      {form->makeButton, "Command1", {360, 432, 81, 33}},
      {form->exitButton, "Command2", {360, 464, 81, 33}},
      {form->patternLabel, "Label1", {16, 496, 369, 17}},
      {form->versionLabel, "Label4", {312, 504, 129, 17}},
  };
  for (const Control& c : controls) {
    EXPECT_EQ(c.widget->geometry(), c.geometry) << c.name;
    EXPECT_EQ(form->findChild<QWidget*>(QLatin1String(c.name)), c.widget) << c.name;
  }

  EXPECT_EQ(form->patternLabel->text(), "Files to convert must have a name such as :  UC***.PDB");
  EXPECT_EQ(form->brandLabel->text(), "NORDAVEX");
  EXPECT_EQ(form->clipboardNote->text(), "(To be pasted in a spreadsheet)");
  EXPECT_EQ(form->versionLabel->text(), "Kestrix V2.14  8/2014");
  EXPECT_EQ(form->clipboardOption->text(), "Copy data to clipboard");
  EXPECT_EQ(form->overflowOption->text(), "Include all overflowed data");
  EXPECT_EQ(form->makeButton->text(), "MAKE");
  EXPECT_EQ(form->exitButton->text(), "EXIT");
  EXPECT_TRUE(form->clipboardOption->isChecked());
  EXPECT_FALSE(form->overflowOption->isChecked());
  EXPECT_EQ(form->joinOption->text(), "Join downloads of each logger");
  EXPECT_FALSE(form->joinOption->isChecked());
  EXPECT_TRUE(form->statusBox->text().isEmpty());

  EXPECT_EQ(form->brandLabel->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  EXPECT_TRUE(form->brandLabel->font().bold());
  EXPECT_TRUE(form->brandLabel->font().italic());
  EXPECT_EQ(form->brandLabel->font().families().front(), "Comic Sans MS");
  EXPECT_TRUE(form->versionLabel->font().italic());
  EXPECT_EQ(form->versionLabel->font().families().front(), "MS Sans Serif");
  EXPECT_EQ(form->fileList->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_TRUE(QApplication::windowIcon().isNull());
  EXPECT_FALSE(form->windowIcon().isNull());
}

TEST_F(Window, TabOrderStartsAtTheFileList) {
  auto form = makeForm();
  form->show();
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  EXPECT_EQ(QApplication::focusWidget(), form->fileList);

  const QWidget* expected[] = {form->folderList,     form->driveList,  form->statusBox,
                               form->makeButton,     form->exitButton, form->clipboardOption,
                               form->overflowOption, form->joinOption, form->fileList};
  for (const QWidget* next : expected) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), next);
  }
}

TEST_F(Window, FileListFiltersSortsAndSelectsLikeAFileBox) {
  auto form = makeForm();
  form->show();
  EXPECT_EQ(entries(form->fileList), QStringList({"UC1.PDB", "uc2.pdb"}));
  EXPECT_TRUE(selected(form->fileList).isEmpty());

  click(form->fileList, "uc2.pdb");
  click(form->fileList, "UC1.PDB", Qt::ControlModifier);
  EXPECT_EQ(selected(form->fileList), QStringList({"UC1.PDB", "uc2.pdb"}));
  click(form->fileList, "uc2.pdb", Qt::ControlModifier);
  EXPECT_EQ(selected(form->fileList), QStringList({"UC1.PDB"}));
  click(form->fileList, "uc2.pdb", Qt::ShiftModifier);
  EXPECT_EQ(selected(form->fileList), QStringList({"UC1.PDB", "uc2.pdb"}));
  click(form->fileList, "uc2.pdb");
  EXPECT_EQ(selected(form->fileList), QStringList({"uc2.pdb"}));
}

TEST_F(Window, FolderListWalksDownAndUpAndMovesTheFileList) {
  fs::create_directory(data / "sub");
  fs::create_directory(data / ".hidden");
  writeFile(data / "sub" / "UC7.PDB", "x");
  auto form = makeForm();
  form->show();

  const fs::path start = fs::canonical(data.path());
  EXPECT_EQ(form->path(), start);
  const QStringList folders = entries(form->folderList);
  ASSERT_GE(folders.size(), 2);
  EXPECT_EQ(folders.back(), "sub");
  EXPECT_EQ(folders[folders.size() - 2], QString::fromStdString(start.filename().string()));
  EXPECT_EQ(form->folderList->currentRow(), folders.size() - 2);

  // The drive list shows the volume (or home folder) the folder lies on.
  const int volume = form->driveList->currentIndex();
  ASSERT_GE(volume, 0);
  const fs::path top(form->driveList->currentData().toByteArray().toStdString());
  EXPECT_FALSE(start.lexically_relative(top).string().starts_with("..")) << top;

  click(form->fileList, "UC1.PDB");
  doubleClick(form->folderList, "sub");
  QCoreApplication::processEvents();
  EXPECT_EQ(form->path(), start / "sub");
  EXPECT_EQ(entries(form->fileList), QStringList({"UC7.PDB"}));
  EXPECT_TRUE(selected(form->fileList).isEmpty());
  EXPECT_EQ(entries(form->folderList).back(), "sub");

  doubleClick(form->folderList, QString::fromStdString(start.filename().string()));
  QCoreApplication::processEvents();
  EXPECT_EQ(form->path(), start);
  EXPECT_EQ(entries(form->fileList), QStringList({"UC1.PDB", "uc2.pdb"}));

  // Choosing the volume again returns to the folder last visited on it.
  form->setPath(start / "sub");
  Q_EMIT form->driveList->currentIndexChanged(volume);
  EXPECT_EQ(form->path(), start / "sub");
}

TEST_F(Window, MakeWritesTheTableShowsProgressAndFillsTheClipboard) {
  auto form = makeForm();
  form->show();
  click(form->fileList, "UC1.PDB");
  QTest::mouseClick(form->makeButton, Qt::LeftButton);

  EXPECT_EQ(statuses, QStringList({"...", "33%", "67%", "100%", done()}));
  const std::string bytes = readFile(table());
  EXPECT_TRUE(bytes.starts_with("Fichier\tRoom 1\r\n\t00001A2B\r\n")) << bytes;
  EXPECT_NE(bytes.find("Date\t\xB0"
                       "C\r\n"),
            std::string::npos);
  const QString clip = QGuiApplication::clipboard()->text();
  EXPECT_EQ(clip, QString::fromUtf8(kestrix::windows1252ToUtf8(bytes)));
  EXPECT_TRUE(clip.contains(QStringLiteral("\u00B0C")));
  EXPECT_EQ(entriesIn(out.path()), 1u);  // no temporary file left
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Window, UntickedClipboardOptionLeavesTheClipboardAlone) {
  auto form = makeForm();
  form->clipboardOption->setChecked(false);
  form->overflowOption->setChecked(true);
  form->selectFiles({"UC1.PDB", "uc2.pdb"});
  form->make();
  EXPECT_EQ(statuses.back(), done());
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "earlier clipboard");
  EXPECT_TRUE(readFile(table()).starts_with("Fichier\tRoom 1\tCellar\tCellar\r\n"));
}

TEST_F(Window, DoubleClickConvertsTheClickedFile) {
  auto form = makeForm();
  form->show();
  click(form->fileList, "UC1.PDB");
  doubleClick(form->fileList, "uc2.pdb");
  EXPECT_EQ(statuses.back(), done());
  EXPECT_TRUE(readFile(table()).starts_with("Fichier\tCellar\tCellar\r\n"));
}

TEST_F(Window, ExitEmptiesTheClipboardClosingDoesNot) {
  {
    auto form = makeForm();
    form->show();
    form->close();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "earlier clipboard");
  }
  auto form = makeForm();
  form->show();
  QTest::mouseClick(form->exitButton, Qt::LeftButton);
  EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty());
  EXPECT_FALSE(form->isVisible());
}

TEST_F(Window, NothingSelectedWritesNothing) {
  auto form = makeForm();
  form->make();
  EXPECT_EQ(statuses, QStringList({"No file selected"}));
  EXPECT_FALSE(fs::exists(table()));
}

TEST_F(Window, MoreFilesThanARunTakesAreRefused) {
  TempFolder many;
  for (int i = 0; i < 102; ++i) writeFile(many / ("uc" + std::to_string(i) + ".pdb"), "x");
  auto form = makeForm(many.path());
  form->fileList->selectAll();
  form->make();
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages.front().contains("102")) << messages.front().toStdString();
  EXPECT_TRUE(messages.front().contains("(10000 when joining the downloads of each logger)"));
  EXPECT_EQ(form->statusBox->text(), messages.front());
  EXPECT_FALSE(fs::exists(table()));

  // Joining takes them: the first file's fault is told instead.
  form->joinOption->setChecked(true);
  form->make();
  ASSERT_EQ(messages.size(), 2);
  EXPECT_FALSE(messages.back().contains("102")) << messages.back().toStdString();
  EXPECT_FALSE(fs::exists(table()));
}

TEST_F(Window, TheJoinOptionJoinsTheDownloadsOfEachLogger) {
  LoggerFileBuilder relaunched;  // Room 1's logger, relaunched to count pulses
  relaunched.name("Room 1").loggerId(0x1A2B).start(2014, 3, 5, 7, 30, 0).intervalCode(7);
  relaunched.typeCode(2).samples({1, 2});
  ASSERT_TRUE(relaunched.writeTo((data / "uc4.pdb").string()));
  writeFile(data / "uc0.pdb", readFile(data / "UC1.PDB"));  // the same download again
  auto form = makeForm();
  form->joinOption->setChecked(true);
  ASSERT_TRUE(form->selectFiles({"uc0.pdb", "UC1.PDB", "uc2.pdb", "uc4.pdb"}));
  form->make();

  // The table's columns are counted: the two-channel Cellar takes two.
  EXPECT_EQ(form->statusBox->text(), done("Done... 4 files in 4 columns"));
  EXPECT_TRUE(readFile(table()).starts_with("Fichier\tRoom 1\tCellar\tCellar\tRoom 1\r\n"));
  EXPECT_EQ(form->statusBox->toolTip(),
            done("Done... 4 files in 4 columns") +
                "\njoined 2 downloads of 00001A2B (Room 1): 3 rows, 3 overlapping, 0 conflicting");
  EXPECT_EQ(messages, QStringList({"Some downloads of one logger were not joined with the "
                                   "others:\nuc4.pdb is kept apart from uc0.pdb (logger "
                                   "00001A2B): it is of type 2, the other of type 1"}));

  // The chart's summary names the files a channel was joined from.
  form->openChart();
  ASSERT_NE(form->chartWindow(), nullptr);
  const kestrix::ui::SummaryTable* summary = form->chartWindow()->summaryTable();
  EXPECT_TRUE(summary->item(0, 0)->toolTip().endsWith("\nJoined from 2 files:\nuc0.pdb, UC1.PDB"))
      << summary->item(0, 0)->toolTip().toStdString();
  EXPECT_TRUE(summary->item(1, 0)->toolTip().isEmpty());
  form->chartWindow()->close();
}

TEST_F(Window, AFailedRunReportsTheFileAndKeepsTheOldTable) {
  writeFile(data / "uc3.pdb", "cut short");
  writeFile(table(), "earlier table");
  auto form = makeForm();
  form->selectFiles({"UC1.PDB", "uc3.pdb"});
  form->make();

  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages.front().startsWith("Error: ")) << messages.front().toStdString();
  EXPECT_TRUE(messages.front().contains("uc3.pdb"));
  EXPECT_EQ(form->statusBox->text(), messages.front());
  EXPECT_EQ(readFile(table()), "earlier table");
  EXPECT_EQ(entriesIn(out.path()), 1u);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "earlier clipboard");

  // The window stays usable.
  form->selectFiles({"UC1.PDB"});
  form->make();
  EXPECT_EQ(form->statusBox->text(), done());
  EXPECT_TRUE(readFile(table()).starts_with("Fichier\tRoom 1\r\n"));
}

TEST_F(Window, WithoutAProgramFolderToWriteTheTableGoesBesideTheLoggerFiles) {
  auto form = makeForm();
  form->setOutputDirectory(out / "missing");
  form->selectFiles({"UC1.PDB"});
  form->make();
  EXPECT_TRUE(messages.empty());
  EXPECT_TRUE(readFile(form->path() / "uc1.txt").starts_with("Fichier\t"));
  EXPECT_FALSE(fs::exists(out / "missing"));
}

// Where neither the program's folder nor the logger files' folder takes a
// file, MAKE asks for one, from the home folder; the answer serves from then on.
TEST_F(Window, WithNoFolderToWriteMakeAsksWhereTheTableGoes) {
  folderCheck = [this](const fs::path& dir) {
    return dir != data.path() && kestrix::ui::canWriteInto(dir);
  };
  TempFolder elsewhere;
  auto form = makeForm();
  form->setOutputDirectory(out / "missing");
  EXPECT_TRUE(form->makeButton->toolTip().contains("MAKE asks where the table goes"))
      << form->makeButton->toolTip().toStdString();
  form->selectFiles({"UC1.PDB"});

  // Cancelled: nothing converted, and the next MAKE asks again.
  whenShown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
  form->make();
  EXPECT_EQ(form->statusBox->text(), "No file chosen for the table: nothing converted");
  EXPECT_FALSE(fs::exists(data / "uc1.txt"));

  // A name in a folder that cannot be written is refused, and the dialog comes back.
  QString suggested, refusal;
  whenShown<QFileDialog>([&](QFileDialog* dialog) {
    suggested = dialog->selectedFiles().value(0);
    whenShown<QMessageBox>([&](QMessageBox* box) {
      refusal = box->text();
      box->accept();
      whenShown<QFileDialog>([&](QFileDialog* again) {
        typeFileName(again, QString::fromStdString((elsewhere / "mine").string()));
      });
    });
    typeFileName(dialog, QString::fromStdString((data / "mine.txt").string()));
  });
  form->make();
  EXPECT_EQ(suggested, QDir::home().filePath("uc1.txt"));
  EXPECT_EQ(refusal.toStdString(),
            (data / "mine.txt").string() + ": cannot create a file in " + data.path().string());
  EXPECT_EQ(form->statusBox->text().toStdString(),
            "Done... written to " + (elsewhere / "mine.txt").string());
  EXPECT_TRUE(readFile(elsewhere / "mine.txt").starts_with("Fichier\tRoom 1\r\n"));
  EXPECT_EQ(form->makeButton->toolTip().toStdString(),
            "Writes the table to " + (elsewhere / "mine.txt").string());

  // The choice holds: the next MAKE asks nothing.
  bool asked = false;
  QTimer::singleShot(50, [&] {
    if (QWidget* dialog = QApplication::activeModalWidget()) {
      asked = true;
      dialog->close();
    }
  });
  form->selectFiles({"uc2.pdb"});
  form->make();
  QTest::qWait(100);
  EXPECT_FALSE(asked);
  EXPECT_TRUE(readFile(elsewhere / "mine.txt").starts_with("Fichier\tCellar\t"));
  EXPECT_TRUE(messages.empty()) << messages.join("\n").toStdString();
}

TEST_F(Window, NoSecondRunStartsWhileOneIsInProgress) {
  auto form = makeForm();
  form->show();
  click(form->fileList, "UC1.PDB");
  bool wasRunning = false;
  QObject::connect(form->statusBox, &QLineEdit::textChanged, [&](const QString& text) {
    if (text != "33%") return;
    wasRunning = form->running();
    form->make();
    doubleClick(form->fileList, "uc2.pdb");
  });
  form->make();
  EXPECT_TRUE(wasRunning);
  EXPECT_FALSE(form->running());
  EXPECT_EQ(statuses, QStringList({"...", "33%", "67%", "100%", done()}));
  EXPECT_TRUE(readFile(table()).starts_with("Fichier\tRoom 1\r\n"));
}

TEST_F(Window, ExitDuringARunKeepsTheOldTable) {
  writeFile(table(), "earlier table");
  auto form = makeForm();
  form->show();
  form->selectFiles({"UC1.PDB"});
  QObject::connect(form->statusBox, &QLineEdit::textChanged, [&](const QString& text) {
    if (text == "33%") form->exitProgram();
  });
  form->make();
  EXPECT_EQ(statuses, QStringList({"...", "33%"}));
  EXPECT_FALSE(form->isVisible());
  EXPECT_FALSE(form->running());
  EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty());
  EXPECT_EQ(readFile(table()), "earlier table");
  EXPECT_EQ(entriesIn(out.path()), 1u);
}

TEST_F(Window, ATableLongerThanASpreadsheetStaysOffTheClipboard) {
  // One row more than fits once the four header lines are counted.
  const auto rows = static_cast<std::int32_t>(kestrix::ui::clipboardMaxLines - 3);
  LoggerFileBuilder big;
  big.name("Long").start(2014, 1, 1, 0, 0, 0).intervalCode(0).typeCode(1);
  big.wrappedMemory(65536, rows, [](std::int64_t n) { return n % 1000; });
  ASSERT_TRUE(big.writeTo((data / "uc5.pdb").string()));
  auto form = makeForm();
  form->selectFiles({"uc5.pdb"});
  form->make();
  EXPECT_EQ(form->statusBox->text(), done() + " (too large for the clipboard)");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "earlier clipboard");
  EXPECT_TRUE(fs::exists(table()));
}

TEST_F(Window, DifferingIntervalsAreNotedInconsistentFilesNamed) {
  LoggerFileBuilder fast;  // samples every 10 s and announces more than it holds
  fast.name("Fast").start(2014, 3, 5, 7, 30, 0).intervalCode(3).typeCode(1);
  fast.samples({400, 401, 402}).sampleCount(5);
  ASSERT_TRUE(fast.writeTo((data / "uc3.pdb").string()));
  auto form = makeForm();
  form->selectFiles({"UC1.PDB", "uc3.pdb"});  // in the list's order
  form->make();

  EXPECT_EQ(form->statusBox->text(), done("Done... inconsistent file(s)"));
  EXPECT_TRUE(readFile(table()).starts_with("Fichier\tRoom 1\tFast\r\n"));
  // Each file keeps its own dates: no warning of that. The file cut short is told.
  EXPECT_EQ(messages,
            QStringList({"Some files hold fewer samples than they announce; their missing "
                         "samples are blank cells:\nuc3.pdb: the file holds 3 of the 5 "
                         "samples it announces"}));
  EXPECT_EQ(form->statusBox->toolTip(),
            done("Done... inconsistent file(s)") +
                "\nUC1.PDB every 60 s, uc3.pdb every 10 s: one row every 10 s"
                "\nuc3.pdb: the file holds 3 of the 5 samples it announces");
}

TEST_F(Window, TooltipsSayWhereTheTableGoesAndWhatTheOptionsDo) {
  auto form = makeForm();
  const QString here = QString::fromStdString(table().string());
  EXPECT_EQ(form->makeButton->toolTip(), "Writes the table to " + here);
  // Without a program folder to write, the table follows the folder shown.
  form->setOutputDirectory(out / "missing");
  fs::create_directory(data / "sub");
  form->setPath(data / "sub");
  EXPECT_EQ(form->makeButton->toolTip(),
            QString::fromStdString("Writes the table to " + (form->path() / "uc1.txt").string()));
  EXPECT_TRUE(form->clipboardOption->toolTip().contains("clipboard"));
  EXPECT_TRUE(form->overflowOption->toolTip().contains("\"overflow\""));

  form->statusBox->setText("a status longer than the box");
  EXPECT_EQ(form->statusBox->toolTip(), "a status longer than the box");
}

TEST_F(Window, TheDriveListOffersTheHomeFolderFirst) {
  auto form = makeForm();
  const fs::path home = fs::weakly_canonical(QDir::homePath().toStdString());
  if (home == "/") GTEST_SKIP() << "the home folder is the root folder";
  ASSERT_GE(form->driveList->count(), 2);
  EXPECT_EQ(form->driveList->itemData(0).toByteArray().toStdString(), home.string());
  EXPECT_EQ(form->driveList->itemText(0), QString::fromStdString("Home  (" + home.string() + ")"));
  form->driveList->setCurrentIndex(0);
  EXPECT_EQ(form->path(), home);
}

TEST_F(Window, TheOverflowOptionShowsWhatOnlyTheSafetyMarginHides) {
  LoggerFileBuilder wrapped;  // a minute apart; 300 samples more than its memory holds
  wrapped.name("Wrapped").start(2014, 1, 1, 0, 0, 0).intervalCode(7).typeCode(1).memoryCode(0);
  wrapped.wrappedMemory(65536, 65536 + 300, [](std::int64_t n) { return 400 + n % 700; });
  ASSERT_TRUE(wrapped.writeTo((data / "uc5.pdb").string()));
  auto form = makeForm();
  form->selectFiles({"uc5.pdb"});
  form->make();
  const QStringList plain = QString::fromLatin1(readFile(table())).split("\r\n");
  form->overflowOption->setChecked(true);
  form->make();
  const QStringList all = QString::fromLatin1(readFile(table())).split("\r\n");

  // Rows 301 and 302 read "overflow" only for the two minutes' safety margin.
  ASSERT_EQ(plain.size(), all.size());
  for (int line = 0; line < plain.size(); ++line) {
    if (line == 3 + 301 || line == 3 + 302) {
      EXPECT_EQ(plain[line].section('\t', 1), "overflow") << line;
      EXPECT_EQ(all[line].section('\t', 0, 0), plain[line].section('\t', 0, 0));
      EXPECT_NE(all[line].section('\t', 1), "overflow") << line;
    } else {
      EXPECT_EQ(all[line], plain[line]) << line;
    }
  }
  EXPECT_EQ(plain[3 + 300].section('\t', 1), "overflow");
}

TEST_F(Window, ALoggerFileCutShortDuringTheRunDoesNotEndTheProgram) {
  LoggerFileBuilder big;
  big.name("Big").start(2014, 1, 1, 0, 0, 0).intervalCode(7).typeCode(1);
  big.wrappedMemory(65536, 60000, [](std::int64_t n) { return n % 1000; });
  ASSERT_TRUE(big.writeTo((data / "uc5.pdb").string()));
  auto form = makeForm();
  form->selectFiles({"uc5.pdb"});
  // Another program empties the file once the table is under way: the run
  // goes on from the bytes read.
  QObject::connect(form->statusBox, &QLineEdit::textChanged, [&](const QString& text) {
    if (text == "1%") fs::resize_file(data / "uc5.pdb", 0);
  });
  form->make();
  EXPECT_EQ(fs::file_size(data / "uc5.pdb"), 0u);
  EXPECT_EQ(form->statusBox->text(), done());
  const std::string bytes = readFile(table());
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 4 + 60000);
  EXPECT_TRUE(messages.isEmpty());
}

}  // namespace

TEST_F(Window, ALongMessageKeepsItsButtonOnTheScreenAndItsListInTheDetails) {
  std::vector<QString> names;
  for (int i = 0; i < 40; ++i) {  // forty files cut short: forty lines to tell
    LoggerFileBuilder cut;
    cut.name("Cut").start(2014, 3, 5, 7, 30, 0).intervalCode(7).samples({400}).sampleCount(3);
    const QString name = QStringLiteral("uc%1.pdb").arg(100 + i);
    ASSERT_TRUE(cut.writeTo((data / name.toStdString()).string()));
    names.push_back(name);
  }
  auto form = makeForm();
  form->setMessageHandler({});  // the real message box
  QString text, details;
  int height = 0;
  kestrix::testing::whenShown<QMessageBox>([&](QMessageBox* box) {
    text = box->text();
    details = box->detailedText();
    height = box->sizeHint().height();
    box->accept();
  });
  ASSERT_TRUE(form->selectFiles(QStringList(names.begin(), names.end())));
  form->make();
  EXPECT_LE(text.count(QLatin1Char('\n')), 11) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("see Show Details"))) << text.toStdString();
  EXPECT_EQ(details.count(QStringLiteral("the file holds 1 of the 3 samples")), 40);
  EXPECT_LT(height, 600);
  // A status longer than the box shows its start.
  EXPECT_EQ(form->statusBox->cursorPosition(), 0);
}
