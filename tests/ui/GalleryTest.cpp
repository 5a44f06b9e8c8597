// File > Examples and File > Recent Files, driven through the menus: an example opens as File >
// Open would, after the unsaved-change question, and tells what it shows; the recent files
// outlive the window and forget a file that is gone.

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>

#include "WindowFixture.h"
#include "problem/DataFile.h"
#include "ui/ExamplesMenu.h"
#include "ui/RecentFiles.h"

namespace tandor::testing {
namespace {

class GalleryTest : public WindowTest {
protected:
  void DrawFold() {
    SetProblem("u^2", "v", "u^3 - uv");
    Window->qMaxEdit->setText("3");
    PressDrawIt();
    ASSERT_TRUE(G.Drawn);
  }
  QString PathOf(const char *name) const { return Folder.filePath(QString::fromUtf8(name)); }

  QMenu *Submenu(QMenu *menu, const QString &title) const {
    for (QAction *a : menu->actions())
      if (a->menu() && a->text() == title)
        return a->menu();
    return nullptr;
  }
  QAction *ExampleItem(const QString &group, const QString &title) const {
    QMenu *menu = Submenu(Window->ExamplesSubmenu, group);
    if (menu == nullptr)
      return nullptr;
    for (QAction *a : menu->actions())
      if (a->text() == title)
        return a;
    return nullptr;
  }
  const ExampleGallery &Gallery() const { return *Window->Examples->Gallery(); }

  // The files File > Recent Files shows, first to last, and their items.
  QStringList RecentShown() const {
    QStringList files;
    for (QAction *a : Window->RecentMenu->actions())
      if (a->isVisible())
        files << a->data().toString();
    return files;
  }
  QAction *RecentItem(const QString &file) const {
    for (QAction *a : Window->RecentMenu->actions())
      if (a->isVisible() && a->data().toString() == file)
        return a;
    return nullptr;
  }
  void Restart() {
    Window.reset();
    auto dialogs = std::make_unique<ScriptedDialogs>();
    Dialogs = dialogs.get();
    Window = std::make_unique<TTandor>(G, Map, Locus, std::move(dialogs));
    Window->show();
  }
  QString WriteProblem(const char *name, const char *x) {
    const QString path = PathOf(name);
    DataLineArray lines = {x, "v", "u^3 - uv", "-1", "1", "-1", "1", "0", "2", "0", "3", "1", "0"};
    WriteDataFile(path.toStdString(), lines);
    return path;
  }

  QTemporaryDir Folder;
};

TEST_F(GalleryTest, TheExamplesMenuHoldsTheGalleryByGroup) {
  ASSERT_TRUE(Window->Examples->Gallery().has_value());
  const ExampleGallery &gallery = Gallery();
  QStringList groups;
  for (QAction *a : Window->ExamplesSubmenu->actions())
    groups << a->text();
  QStringList expected;
  for (const std::string &g : gallery.Groups())
    expected << QString::fromStdString(g);
  EXPECT_EQ(groups, expected);
  for (const Example &e : gallery.Examples()) {
    QAction *item = ExampleItem(QString::fromStdString(e.Group), QString::fromStdString(e.Title));
    ASSERT_NE(item, nullptr) << e.Name;
    EXPECT_EQ(item->toolTip(), QString::fromStdString(e.Text));
  }
}

TEST_F(GalleryTest, ChoosingAnExampleOpensItAndTellsWhatItShows) {
  const Example *whitney = Gallery().Find("surface-whitney");
  ASSERT_NE(whitney, nullptr);
  QAction *item = ExampleItem("Surfaces", QString::fromStdString(whitney->Title));
  ASSERT_NE(item, nullptr);
  item->trigger();

  const DataLineArray lines = ReadDataFile(Gallery().FileOf(*whitney));
  for (int i = 0; i < DataLineCount; ++i)
    EXPECT_EQ(Window->Fields[i]->text().toStdString(), lines[i]) << i;
  EXPECT_TRUE(G.Drawn);
  EXPECT_FALSE(G.Dirty);
  EXPECT_EQ(Status(), QString::fromStdString(whitney->Text));
  EXPECT_EQ(ShownCaption(*Window), "surface-whitney.tdr");
  EXPECT_GT(std::count_if(Window->Picture.constBits(),
                          Window->Picture.constBits() + Window->Picture.sizeInBytes(),
                          [](uchar b) { return b != 0xff; }),
            100);
  EXPECT_TRUE(RecentShown().isEmpty()) << "an example is in the gallery, not among recent files";

  // Changed and saved, it goes where the user says, never into the gallery.
  const QByteArray before = [&] {
    QFile f(QString::fromStdString(Gallery().FileOf(*whitney)));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }();
  Window->pValueEdit->setText("0.25");
  PressDrawIt();
  Dialogs->SaveNames = {PathOf("mine.tdr")};
  Window->Save1->trigger();
  EXPECT_EQ(Dialogs->SaveAsked, 1);
  EXPECT_TRUE(QFile::exists(PathOf("mine.tdr")));
  QFile gallery(QString::fromStdString(Gallery().FileOf(*whitney)));
  ASSERT_TRUE(gallery.open(QIODevice::ReadOnly));
  EXPECT_EQ(gallery.readAll(), before);
}

TEST_F(GalleryTest, AnUnsavedDrawingIsAskedForFirst) {
  DrawFold();
  QAction *item = ExampleItem("Map germs", QString::fromStdString(Gallery().Examples()[0].Title));
  ASSERT_NE(item, nullptr);

  Dialogs->Answers = {WindowDialogs::Answer::Dismissed};
  item->trigger();
  EXPECT_EQ(Dialogs->Questions, QStringList({"Do you want to save these data?"}));
  EXPECT_EQ(Window->xEdit->text(), "u^2");
  EXPECT_TRUE(G.Dirty);

  // Yes, and the save dialog cancelled: the drawing stays too.
  Dialogs->Answers = {WindowDialogs::Answer::Yes};
  item->trigger();
  EXPECT_EQ(Window->xEdit->text(), "u^2");

  Dialogs->Answers = {WindowDialogs::Answer::Yes};
  Dialogs->SaveNames = {PathOf("fold.tdr")};
  item->trigger();
  EXPECT_TRUE(QFile::exists(PathOf("fold.tdr")));
  EXPECT_EQ(Window->xEdit->text(), "u");
  EXPECT_EQ(Dialogs->Questions.size(), 3);

  // Nothing unsaved: no question.
  ExampleItem("Surfaces", QString::fromStdString(Gallery().Find("surface-roman")->Title))
      ->trigger();
  EXPECT_EQ(Dialogs->Questions.size(), 3);
  EXPECT_EQ(ShownCaption(*Window), "surface-roman.tdr");
}

TEST_F(GalleryTest, AnExampleThatCannotBeReadChangesNothing) {
  DrawFold();
  Dialogs->SaveNames = {PathOf("fold.tdr")};
  Window->SaveAs1->trigger();
  const QString gone = PathOf("gone.tdr");
  Window->OpenExample(gone, QStringLiteral("never shown"));
  ASSERT_EQ(Dialogs->Errors.size(), 1);
  EXPECT_TRUE(Dialogs->Errors[0].startsWith(gone + ": "));
  EXPECT_EQ(G.FileName, PathOf("fold.tdr").toStdString());
  EXPECT_EQ(Window->xEdit->text(), "u^2");
  EXPECT_NE(Status(), "never shown");
}

TEST_F(GalleryTest, RecentFilesOutliveTheWindow) {
  EXPECT_FALSE(Window->RecentMenu->menuAction()->isEnabled());
  const QString a = WriteProblem("a.tdr", "u^2");
  Dialogs->OpenNames = {a};
  Window->Open1->trigger();
  const QString b = PathOf("b.tdr");
  Dialogs->SaveNames = {b};
  Window->SaveAs1->trigger();
  EXPECT_EQ(RecentShown(), QStringList({b, a}));
  EXPECT_TRUE(Window->RecentMenu->menuAction()->isEnabled());

  Restart();
  EXPECT_EQ(RecentShown(), QStringList({b, a}));
  EXPECT_EQ(RecentItem(b)->text(), "&1 " + b);
  RecentItem(a)->trigger();
  EXPECT_EQ(ShownCaption(*Window), "a.tdr");
  EXPECT_EQ(RecentShown(), QStringList({a, b}));

  // Unsaved work is asked for first, as for an example.
  Window->xEdit->setText("u^2 + v");
  PressDrawIt();
  Dialogs->Answers = {WindowDialogs::Answer::Dismissed};
  RecentItem(b)->trigger();
  EXPECT_EQ(Dialogs->Questions.size(), 1);
  EXPECT_EQ(ShownCaption(*Window), "a.tdr*"); // still a's problem, still unsaved
}

TEST_F(GalleryTest, AFileThatIsGoneSaysSoAndLeavesTheList) {
  const QString a = WriteProblem("a.tdr", "u^2");
  const QString b = WriteProblem("b.tdr", "u^2 + v^2");
  Dialogs->OpenNames = {a, b};
  Window->Open1->trigger();
  Window->Open1->trigger();
  ASSERT_TRUE(QFile::remove(a));
  RecentItem(a)->trigger();
  ASSERT_EQ(Dialogs->Errors.size(), 1);
  EXPECT_TRUE(Dialogs->Errors[0].startsWith(a + ": ")) << Dialogs->Errors[0].toStdString();
  EXPECT_EQ(ShownCaption(*Window), "b.tdr");
  EXPECT_EQ(RecentShown(), QStringList({b}));
  Restart();
  EXPECT_EQ(RecentShown(), QStringList({b}));
}

TEST_F(GalleryTest, TheListKeepsTheLastEightOnceEach) {
  QStringList opened;
  for (int i = 0; i < 10; ++i) {
    const QString name = QStringLiteral("p%1.tdr").arg(i);
    opened.prepend(WriteProblem(name.toUtf8().constData(), "u^2"));
    Dialogs->OpenNames = {opened.front()};
    Window->Open1->trigger();
  }
  EXPECT_EQ(RecentShown(), opened.mid(0, RecentFiles::MaxFiles));
  // Opened again, a file moves to the front instead of appearing twice.
  Dialogs->OpenNames = {opened[5]};
  Window->Open1->trigger();
  EXPECT_EQ(RecentShown().front(), opened[5]);
  EXPECT_EQ(RecentShown().count(opened[5]), 1);
  EXPECT_EQ(RecentShown().size(), RecentFiles::MaxFiles);
}

} // namespace
} // namespace tandor::testing
