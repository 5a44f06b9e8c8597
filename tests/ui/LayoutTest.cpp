// The window as it opens: geometry, texts, fonts, tab order, menus and the starting state.

#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

#include "WindowFixture.h"

namespace tandor::testing {
namespace {

using LayoutTest = WindowTest;

struct EditRow {
  int tag;
  QRect geometry;
  const char *text;
};

TEST_F(LayoutTest, EditFieldsStandWhereAndAsTheyShould) {
  const EditRow rows[] = {
      {0, {50, 410, 496, 20}, "u"},
      {1, {50, 435, 496, 20}, "v(v^2 - p)"},
      {2, {50, 460, 496, 20}, "v(u+v^4- pv^2)"},
      {3, {50, 487, 40, 20}, "-1"},
      {4, {128, 487, 40, 20}, "1"},
      {5, {288, 487, 40, 20}, "-1"},
      {6, {365, 487, 40, 20}, "1"},
      {7, {422, 42, 40, 20}, "0"},
      {8, {497, 42, 40, 20}, "2"},
      {9, {422, 67, 40, 20}, "0"},
      {10, {497, 67, 40, 20}, "pi"},
      {11, {437, 242, 35, 20}, "1"},
      {12, {509, 242, 35, 20}, "0"},
  };
  for (const EditRow &row : rows) {
    QLineEdit *edit = Window->Fields[static_cast<std::size_t>(row.tag)];
    SCOPED_TRACE(row.tag);
    EXPECT_EQ(edit->geometry(), row.geometry);
    EXPECT_EQ(edit->text(), row.text);
    EXPECT_EQ(edit->property("Tag").toInt(), row.tag);
    EXPECT_FALSE(edit->hasFrame());
    EXPECT_EQ(edit->font().pixelSize(), 15);
    EXPECT_FALSE(edit->font().bold());
    EXPECT_EQ(edit->font().families().first(), "Times New Roman");
    EXPECT_EQ(edit->palette().color(QPalette::Base),
              QApplication::palette().color(QPalette::ToolTipBase));
  }
}

TEST_F(LayoutTest, LabelsBoxesButtonAndStatusBar) {
  const std::pair<QPoint, const char *> labels[] = {
      {{3, 411}, "x(u,v)="}, {{3, 436}, "y(u,v)="}, {{3, 460}, "z(u,v)="},
      {{94, 487}, "< u <"},  {{331, 487}, "< v <"}, {{463, 43}, "< p <"},
      {{463, 68}, "< q <"},  {{415, 242}, "p ="},   {{487, 242}, "q ="}};
  ASSERT_EQ(Window->Labels.size(), std::size(labels));
  for (const auto &[pos, text] : labels) {
    const auto it = std::find_if(Window->Labels.begin(), Window->Labels.end(),
                                 [&](QLabel *l) { return l->text() == text; });
    ASSERT_NE(it, Window->Labels.end()) << text;
    EXPECT_EQ((*it)->pos(), pos) << text;
    EXPECT_EQ((*it)->font().pixelSize(), 13);
    EXPECT_TRUE((*it)->font().bold());
    EXPECT_EQ((*it)->font().families().first(), "Arial");
  }
  EXPECT_EQ(Window->Reloj->geometry(), QRect(4, 6, 400, 400));
  EXPECT_EQ(Window->Parametros->geometry(), QRect(416, 104, 128, 128));
  EXPECT_EQ(Window->DrawItLines->geometry(), QRect(440, 320, 77, 30));
  EXPECT_TRUE(Window->DrawItLines->autoRaise());
  EXPECT_EQ(Window->DrawItLines->text(), "Draw It");
  EXPECT_EQ(Window->DrawItLines->palette().color(QPalette::ButtonText), QColor(0, 0, 255));
  EXPECT_EQ(Window->DrawItLines->font().pixelSize(), 16);
  EXPECT_TRUE(Window->DrawItLines->font().bold());
  EXPECT_EQ(Window->InfoBar->height(), 24);
  EXPECT_EQ(Window->InfoBar->currentMessage(), "");
}

TEST_F(LayoutTest, CaptionAndFixedClientArea) {
  EXPECT_EQ(ShownCaption(*Window), "Multiple locus");
  const int menuHeight = Window->menuBar()->height();
  EXPECT_EQ(Window->width(), 550);
  EXPECT_EQ(Window->height() - menuHeight, 537);
  EXPECT_EQ(Window->minimumSize(), Window->maximumSize());
  EXPECT_EQ(Window->InfoBar->geometry().top() - menuHeight, 513);
}

TEST_F(LayoutTest, TabRunsThroughTheFieldsWithQBeforeP) {
  const QLineEdit *expected[] = {
      Window->xEdit,    Window->yEdit,      Window->zEdit,     Window->uMinEdit, Window->uMaxEdit,
      Window->vMinEdit, Window->vMaxEdit,   Window->pMinEdit,  Window->pMaxEdit, Window->qMinEdit,
      Window->qMaxEdit, Window->qValueEdit, Window->pValueEdit};
  Window->activateWindow();
  Window->xEdit->setFocus();
  for (std::size_t i = 1; i < std::size(expected); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), expected[i]) << i;
  }
}

TEST_F(LayoutTest, MenusCaptionsShortcutsAndTheRadioGroup) {
  auto captions = [](QMenu *menu) {
    QStringList list;
    for (QAction *a : menu->actions())
      list << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return list;
  };
  QStringList titles;
  // Each title underlines its access key.
  for (QAction *a : Window->menuBar()->actions())
    titles << a->text();
  EXPECT_EQ(titles, QStringList({"&File", "&Edit", "&Method", "&View", "&Help"}));
  EXPECT_EQ(captions(Window->FileMenu),
            QStringList({"Open...", "Recent Files", "Examples", "Save", "Save As..",
                         "Export Picture...", "Export Locus...", "Print...", "-", "Exit"}));
  EXPECT_EQ(captions(Window->EditMenu),
            QStringList({"Cu&t", "&Copy", "&Paste", "-", "Copy Picture"}));
  EXPECT_EQ(captions(Window->MethodMenu),
            QStringList({"Descent", "Gradual Descent", "Triangles Intersection"}));
  EXPECT_EQ(captions(Window->ViewMenu),
            QStringList({"Singular Points", "3D View", "Parameter Atlas...", "Strata"}));
  EXPECT_TRUE(Window->SingularPoints1->isCheckable());
  EXPECT_TRUE(Window->SingularPoints1->isChecked());
  EXPECT_EQ(Window->ViewMenu->actions()[1]->shortcut(), QKeySequence("Ctrl+3"));
  EXPECT_EQ(captions(Window->HelpMenu), QStringList({"Manual..."}));
  EXPECT_EQ(Window->Cut1->shortcut(), QKeySequence("Ctrl+X"));
  EXPECT_EQ(Window->Copy1->shortcut(), QKeySequence("Ctrl+C"));
  EXPECT_EQ(Window->Paste1->shortcut(), QKeySequence("Ctrl+V"));
  EXPECT_EQ(Window->Cut1->toolTip(), "Cut");

  EXPECT_TRUE(Window->Descent1->isChecked());
  EXPECT_EQ(Window->MethodNumber(), 0);
  // Before any run a method choice only moves the check mark.
  Window->TrianglesIntersection1->trigger();
  EXPECT_TRUE(Window->TrianglesIntersection1->isChecked());
  EXPECT_FALSE(Window->Descent1->isChecked());
  EXPECT_EQ(Window->MethodNumber(), 2);
  EXPECT_FALSE(G.Drawn);
}

TEST_F(LayoutTest, EditActionsWorkOnTheFocusedField) {
  Window->activateWindow();
  Window->yEdit->setFocus();
  Window->yEdit->selectAll();
  Window->Cut1->trigger();
  EXPECT_EQ(Window->yEdit->text(), "");
  Window->zEdit->setFocus();
  Window->Paste1->trigger();
  EXPECT_EQ(Window->zEdit->text(), "v(u+v^4- pv^2)v(v^2 - p)");
}

TEST_F(LayoutTest, BlankPictureAndTheCircleAtTheStartingParameters) {
  const QImage screen = Screen();
  EXPECT_EQ(screen.pixelColor(200, 200), QColor(Qt::white));
  EXPECT_EQ(G.CirclePos, (std::array<int32_t, 2>{64, 128}));
  const QImage square = Window->Parametros->grab().toImage();
  EXPECT_EQ(square.pixelColor(64 + 3, 128 - 1).red(), 255);
  EXPECT_EQ(square.pixelColor(64, 60), QColor(Qt::white));
  MoveMouse(Window->Reloj, 200, 200);
  EXPECT_FALSE(G.SiblingShown);
}

TEST_F(LayoutTest, ManualWindowsOpenSideBySideAndGrowWithTheirText) {
  Window->Manual1->trigger();
  QPointer<TManual1> first = Window->ManualWindow;
  Window->Manual1->trigger();
  QPointer<TManual1> second = Window->ManualWindow;
  ASSERT_TRUE(first && second);
  EXPECT_NE(first.data(), second.data());
  EXPECT_TRUE(first->isVisible() && second->isVisible());
  EXPECT_FALSE(first->isModal());
  EXPECT_EQ(first->windowTitle(), "Tandor Manual");
  EXPECT_EQ(first->RichEdit1->geometry(), QRect(8, 88, 400, 365));
  EXPECT_TRUE(first->RichEdit1->isReadOnly());
  EXPECT_EQ(first->RichEdit1->lineWrapMode(), QPlainTextEdit::NoWrap);
  const QString text = first->RichEdit1->toPlainText();
  for (const char *section :
       {"1. Introduction.", "2. Input of formulas", "3. Other input",
        "4. If the first equation is not linear, the program allows the", "5. Output", "6. Thanks"})
    EXPECT_TRUE(text.contains(section)) << section;

  first->resize(first->width() + 100, first->height() + 50);
  EXPECT_EQ(first->RichEdit1->geometry(), QRect(8, 88, 500, 415));
  EXPECT_EQ(first->titleLabel->pos(), QPoint(8, 8));

  first->close();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(first.isNull());

  G.Running = true;
  Window->Manual1->trigger();
  EXPECT_EQ(Window->ManualWindow.data(), second.data());
  G.Running = false;
}

} // namespace
} // namespace tandor::testing
