// View > Parameter Atlas... driven as a person would: the atlas of the problem in force, its
// tints where the family changes, a click on a tile that moves the parameters, and Cancel.

#include <QPushButton>
#include <QSpinBox>

#include "WindowFixture.h"
#include "analysis/AtlasDrawing.h"
#include "ui/AtlasWindow.h"

namespace tandor::testing {
namespace {

class AtlasWindowTest : public WindowTest {
protected:
  // x = u, y = v^2, z = v^3 + (u^2 - p) v over p, q in [-1, 1]: a circle of double points for
  // p > 0 only.
  void DrawFamily() {
    SetProblem("u", "v^2", "v^3+(u^2-p)v");
    Window->pMinEdit->setText("-1");
    Window->pMaxEdit->setText("1");
    Window->qMinEdit->setText("-1");
    Window->qMaxEdit->setText("1");
    Window->pValueEdit->setText("0.5");
    Window->qValueEdit->setText("0");
    PressDrawIt();
    ASSERT_TRUE(G.Drawn);
  }
  AtlasWindow *OpenAtlas(int columns, int rows) {
    Window->ParameterAtlas1->trigger();
    AtlasWindow *atlas = Window->Atlas.data();
    EXPECT_NE(atlas, nullptr);
    if (!atlas)
      return nullptr;
    atlas->CancelButton->click();
    atlas->ColumnsBox->setValue(columns);
    atlas->RowsBox->setValue(rows);
    atlas->ComputeButton->click();
    return atlas;
  }
};

TEST_F(AtlasWindowTest, TheAtlasShowsTheFamilyAndATileClickMovesTheParameters) {
  DrawFamily();
  AtlasWindow *atlas = OpenAtlas(4, 2);
  ASSERT_NE(atlas, nullptr);
  EXPECT_TRUE(atlas->isVisible());
  EXPECT_EQ(atlas->windowTitle(), "Parameter Atlas");
  QTRY_VERIFY_WITH_TIMEOUT(!atlas->Busy(), 60000);
  ASSERT_EQ(atlas->Atlas().Tiles.size(), 8u);
  EXPECT_EQ(atlas->StatusLabel->text(), "8 of 8 tiles");

  // The tints of the first and last tile of a row differ: the circle is born at p = 0.
  const AtlasLayout layout(atlas->Atlas().Request);
  const QImage &image = atlas->View->Image;
  const QColor left = image.pixelColor(layout.Cell(0).Left + 1, layout.Cell(0).Top + 1);
  const QColor right = image.pixelColor(layout.Cell(3).Left + 1, layout.Cell(3).Top + 1);
  EXPECT_NE(left, right);
  EXPECT_EQ(atlas->Atlas().Tiles[3].CrossCaps, 2u);

  // A click on the top right tile: p = 0.75, q = 0.5.
  const QRect target = atlas->View->Target();
  const PixelRect cell = layout.Cell(3);
  const QPoint at(target.left() + (cell.Left + cell.Right) / 2 * target.width() / image.width(),
                  target.top() + (cell.Top + cell.Bottom) / 2 * target.height() / image.height());
  QTest::mouseClick(atlas->View, Qt::LeftButton, Qt::NoModifier, at);
  EXPECT_EQ(G.ParamValue, (Vector2{0.75, 0.5}));
  EXPECT_EQ(Window->pValueEdit->text(), "0.7500");
  EXPECT_EQ(G.CirclePos, (std::array<int32_t, 2>{112, 32}));
}

TEST_F(AtlasWindowTest, CancelEndsTheWorkersAtOnce) {
  DrawFamily();
  Window->TrianglesIntersection1->trigger();
  AtlasWindow *atlas = OpenAtlas(16, 16);
  ASSERT_NE(atlas, nullptr);
  ASSERT_TRUE(atlas->Busy());
  atlas->CancelButton->click();
  EXPECT_FALSE(atlas->Busy());
  EXPECT_LT(atlas->Atlas().Tiles.size(), 256u);
  EXPECT_TRUE(atlas->StatusLabel->text().endsWith("cancelled"));
  EXPECT_TRUE(atlas->ComputeButton->isEnabled());
}

TEST_F(AtlasWindowTest, StrataTintTheSquareAndOnlyANewProblemRestartsThem) {
  EXPECT_FALSE(Window->Strata1->isChecked());
  Window->Strata.Grid = 8;
  DrawFamily();
  Window->Strata1->trigger();
  QTRY_VERIFY_WITH_TIMEOUT(Window->Strata.Ready(), 60000);
  QTRY_VERIFY(!Window->Strata.Busy());
  // p < 0 on the left, p > 0 on the right: two strata.
  const QImage square = Window->Parametros->grab().toImage();
  EXPECT_NE(square.pixelColor(20, 100), square.pixelColor(108, 100));
  EXPECT_NE(square.pixelColor(108, 100), QColor(Qt::white));

  // A drag of (p, q) keeps them.
  MoveMouse(Window->Parametros, 100, 30, Qt::LeftButton);
  EXPECT_FALSE(Window->Strata.Busy());
  EXPECT_TRUE(Window->Strata.Ready());
  // Another family discards them and computes its own.
  Window->zEdit->setText("v^3+(u^2-p-q)v");
  PressDrawIt();
  EXPECT_FALSE(Window->Strata.Ready());
  QTRY_VERIFY_WITH_TIMEOUT(Window->Strata.Ready(), 60000);
  // Off: the square is white again.
  Window->Strata1->trigger();
  const QImage plain = Window->Parametros->grab().toImage();
  EXPECT_EQ(plain.pixelColor(108, 100), QColor(Qt::white));
}

} // namespace
} // namespace tandor::testing
