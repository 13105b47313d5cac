// The window on Qt's offscreen platform: layout, lists, runs, clipboard and refusals.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "Form1.hpp"
#include "clipboard.hpp"
#include "folders.hpp"
#include "logger_file_builder.hpp"
#include "temp_folder.hpp"
#include "text.hpp"

namespace fs = std::filesystem;
using kestrix::testing::LoggerFileBuilder;
using kestrix::testing::readFile;
using kestrix::testing::TempFolder;
using kestrix::testing::writeFile;
using kestrix::ui::Form1;

namespace {

QApplication& application() {
  static int argc = 1;
  static char name[] = "form1_test";
  static char* argv[] = {name, nullptr};
  // No display needed, however the tests are started.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Never destroyed: tearing it down after main() returns would outlive Qt's own globals.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

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
    auto form = std::make_unique<Form1>(Form1::Options{start, out.path(), {}});
    form->setMessageHandler([this](const QString& text) { messages << text; });
    QObject::connect(form->etat, &QLineEdit::textChanged,
                     [this](const QString& text) { statuses << text; });
    return form;
  }
  std::unique_ptr<Form1> makeForm() { return makeForm(data.path()); }

  fs::path table() const { return out / "uc1.txt"; }

  TempFolder data;
  TempFolder out;
  QStringList statuses;
  QStringList messages;
};

TEST_F(Window, ControlsCaptionsAndGeometry) {
  auto form = makeForm();
  EXPECT_EQ(form->windowTitle(), "ULMACORDER");
  EXPECT_EQ(form->size(), QSize(448, 522));

  struct Control {
    QWidget* widget;
    QRect geometry;
  };
  const Control controls[] = {
      {form->Drive1, {16, 8, 249, 21}},     {form->Dir1, {16, 32, 249, 366}},
      {form->File1, {272, 24, 169, 370}},   {form->Label2, {312, 0, 121, 25}},
      {form->etat, {24, 400, 417, 25}},     {form->Check1, {16, 440, 137, 17}},
      {form->Label3, {152, 440, 153, 17}},  {form->Check2, {16, 464, 217, 17}},
      {form->Command1, {360, 432, 81, 33}}, {form->Command2, {360, 464, 81, 33}},
      {form->Label1, {16, 496, 369, 17}},   {form->Label4, {312, 504, 129, 17}},
  };
  for (const Control& c : controls) EXPECT_EQ(c.widget->geometry(), c.geometry) << c.widget;

  EXPECT_EQ(form->Label1->text(), "Files to convert must have a name such as :  UC***.PDB");
  EXPECT_EQ(form->Label2->text(), "NORDAVEX");
  EXPECT_EQ(form->Label3->text(), "(To be pasted in a spreadsheet)");
  EXPECT_EQ(form->Label4->text(), "Kestrix V2.14  8/2014");
  EXPECT_EQ(form->Check1->text(), "Copy data to clipboard");
  EXPECT_EQ(form->Check2->text(), "Include all overflowed data");
  EXPECT_EQ(form->Command1->text(), "MAKE");
  EXPECT_EQ(form->Command2->text(), "EXIT");
  EXPECT_TRUE(form->Check1->isChecked());
  EXPECT_FALSE(form->Check2->isChecked());
  EXPECT_TRUE(form->etat->text().isEmpty());

  EXPECT_EQ(form->Label2->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  EXPECT_TRUE(form->Label2->font().bold());
  EXPECT_TRUE(form->Label2->font().italic());
  EXPECT_EQ(form->Label2->font().families().front(), "Comic Sans MS");
  EXPECT_TRUE(form->Label4->font().italic());
  EXPECT_EQ(form->Label4->font().families().front(), "MS Sans Serif");
  EXPECT_EQ(form->File1->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_TRUE(QApplication::windowIcon().isNull());
  EXPECT_FALSE(form->windowIcon().isNull());
}

TEST_F(Window, TabOrderStartsAtTheFileList) {
  auto form = makeForm();
  form->show();
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  EXPECT_EQ(QApplication::focusWidget(), form->File1);

  const QWidget* expected[] = {form->Dir1,     form->Drive1, form->etat,   form->Command1,
                               form->Command2, form->Check1, form->Check2, form->File1};
  for (const QWidget* next : expected) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), next);
  }
}

TEST_F(Window, FileListFiltersSortsAndSelectsLikeAFileBox) {
  auto form = makeForm();
  form->show();
  EXPECT_EQ(entries(form->File1), QStringList({"UC1.PDB", "uc2.pdb"}));
  EXPECT_TRUE(selected(form->File1).isEmpty());

  click(form->File1, "uc2.pdb");
  click(form->File1, "UC1.PDB", Qt::ControlModifier);
  EXPECT_EQ(selected(form->File1), QStringList({"UC1.PDB", "uc2.pdb"}));
  click(form->File1, "uc2.pdb", Qt::ControlModifier);
  EXPECT_EQ(selected(form->File1), QStringList({"UC1.PDB"}));
  click(form->File1, "uc2.pdb", Qt::ShiftModifier);
  EXPECT_EQ(selected(form->File1), QStringList({"UC1.PDB", "uc2.pdb"}));
  click(form->File1, "uc2.pdb");
  EXPECT_EQ(selected(form->File1), QStringList({"uc2.pdb"}));
}

TEST_F(Window, FolderListWalksDownAndUpAndMovesTheFileList) {
  fs::create_directory(data / "sub");
  fs::create_directory(data / ".hidden");
  writeFile(data / "sub" / "UC7.PDB", "x");
  auto form = makeForm();
  form->show();

  const fs::path start = fs::canonical(data.path());
  EXPECT_EQ(form->path(), start);
  const QStringList folders = entries(form->Dir1);
  ASSERT_GE(folders.size(), 2);
  EXPECT_EQ(folders.back(), "sub");
  EXPECT_EQ(folders[folders.size() - 2], QString::fromStdString(start.filename().string()));
  EXPECT_EQ(form->Dir1->currentRow(), folders.size() - 2);

  const auto volumes = kestrix::ui::mountedVolumes();
  const int volume = kestrix::ui::volumeHolding(volumes, start);
  ASSERT_GE(volume, 0);
  EXPECT_EQ(form->Drive1->currentIndex(), volume);

  click(form->File1, "UC1.PDB");
  doubleClick(form->Dir1, "sub");
  QCoreApplication::processEvents();
  EXPECT_EQ(form->path(), start / "sub");
  EXPECT_EQ(entries(form->File1), QStringList({"UC7.PDB"}));
  EXPECT_TRUE(selected(form->File1).isEmpty());
  EXPECT_EQ(entries(form->Dir1).back(), "sub");

  doubleClick(form->Dir1, QString::fromStdString(start.filename().string()));
  QCoreApplication::processEvents();
  EXPECT_EQ(form->path(), start);
  EXPECT_EQ(entries(form->File1), QStringList({"UC1.PDB", "uc2.pdb"}));

  // Choosing the volume again returns to the folder last visited on it.
  form->setPath(start / "sub");
  Q_EMIT form->Drive1->currentIndexChanged(volume);
  EXPECT_EQ(form->path(), start / "sub");
}

TEST_F(Window, MakeWritesTheTableShowsProgressAndFillsTheClipboard) {
  auto form = makeForm();
  form->show();
  click(form->File1, "UC1.PDB");
  QTest::mouseClick(form->Command1, Qt::LeftButton);

  EXPECT_EQ(statuses, QStringList({"...", "33%", "67%", "100%", "Done..."}));
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
  form->Check1->setChecked(false);
  form->Check2->setChecked(true);
  form->selectFiles({"UC1.PDB", "uc2.pdb"});
  form->Command1_Click();
  EXPECT_EQ(statuses.back(), "Done...");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "earlier clipboard");
  EXPECT_TRUE(readFile(table()).starts_with("Fichier\tRoom 1\tCellar\tCellar\r\n"));
}

TEST_F(Window, DoubleClickConvertsTheClickedFile) {
  auto form = makeForm();
  form->show();
  click(form->File1, "UC1.PDB");
  doubleClick(form->File1, "uc2.pdb");
  EXPECT_EQ(statuses.back(), "Done...");
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
  QTest::mouseClick(form->Command2, Qt::LeftButton);
  EXPECT_TRUE(QGuiApplication::clipboard()->text().isEmpty());
  EXPECT_FALSE(form->isVisible());
}

TEST_F(Window, NothingSelectedWritesNothing) {
  auto form = makeForm();
  form->Command1_Click();
  EXPECT_EQ(statuses, QStringList({"No file selected"}));
  EXPECT_FALSE(fs::exists(table()));
}

TEST_F(Window, MoreFilesThanARunTakesAreRefused) {
  TempFolder many;
  for (int i = 0; i < 102; ++i) writeFile(many / ("uc" + std::to_string(i) + ".pdb"), "x");
  auto form = makeForm(many.path());
  form->File1->selectAll();
  form->Command1_Click();
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages.front().contains("102")) << messages.front().toStdString();
  EXPECT_EQ(form->etat->text(), messages.front());
  EXPECT_FALSE(fs::exists(table()));
}

TEST_F(Window, AFailedRunReportsTheFileAndKeepsTheOldTable) {
  writeFile(data / "uc3.pdb", "cut short");
  writeFile(table(), "earlier table");
  auto form = makeForm();
  form->selectFiles({"UC1.PDB", "uc3.pdb"});
  form->Command1_Click();

  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages.front().startsWith("Error: ")) << messages.front().toStdString();
  EXPECT_TRUE(messages.front().contains("uc3.pdb"));
  EXPECT_EQ(form->etat->text(), messages.front());
  EXPECT_EQ(readFile(table()), "earlier table");
  EXPECT_EQ(entriesIn(out.path()), 1u);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "earlier clipboard");

  // The window stays usable.
  form->selectFiles({"UC1.PDB"});
  form->Command1_Click();
  EXPECT_EQ(form->etat->text(), "Done...");
  EXPECT_TRUE(readFile(table()).starts_with("Fichier\tRoom 1\r\n"));
}

TEST_F(Window, WithoutAProgramFolderToWriteTheTableGoesBesideTheLoggerFiles) {
  auto form = makeForm();
  form->setOutputDirectory(out / "missing");
  form->selectFiles({"UC1.PDB"});
  form->Command1_Click();
  EXPECT_TRUE(messages.empty());
  EXPECT_TRUE(readFile(form->path() / "uc1.txt").starts_with("Fichier\t"));
  EXPECT_FALSE(fs::exists(out / "missing"));
}

TEST_F(Window, NoSecondRunStartsWhileOneIsInProgress) {
  auto form = makeForm();
  form->show();
  click(form->File1, "UC1.PDB");
  bool wasRunning = false;
  QObject::connect(form->etat, &QLineEdit::textChanged, [&](const QString& text) {
    if (text != "33%") return;
    wasRunning = form->running();
    form->Command1_Click();
    doubleClick(form->File1, "uc2.pdb");
  });
  form->Command1_Click();
  EXPECT_TRUE(wasRunning);
  EXPECT_FALSE(form->running());
  EXPECT_EQ(statuses, QStringList({"...", "33%", "67%", "100%", "Done..."}));
  EXPECT_TRUE(readFile(table()).starts_with("Fichier\tRoom 1\r\n"));
}

TEST_F(Window, ExitDuringARunKeepsTheOldTable) {
  writeFile(table(), "earlier table");
  auto form = makeForm();
  form->show();
  form->selectFiles({"UC1.PDB"});
  QObject::connect(form->etat, &QLineEdit::textChanged, [&](const QString& text) {
    if (text == "33%") form->Command2_Click();
  });
  form->Command1_Click();
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
  form->Command1_Click();
  EXPECT_EQ(form->etat->text(), "Done... (too large for the clipboard)");
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "earlier clipboard");
  EXPECT_TRUE(fs::exists(table()));
}

}  // namespace
