// The grid and an entity's box drawn through GDI into an off-screen bitmap: outlines only,
// occupied cells red, empty ones green, the box in the entity's colour.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/collision_grid.h"
#include "app_setup.h"
#include "runtime/drawing/drawing_internal.h"

namespace {

class GridDrawingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureAppStarted();
    InitDrawing();
    dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = 800;
    info.bmiHeader.biHeight = -600;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    kept = SelectObject(dc, bitmap);
    target.kind = 7;
    target.dc = dc;
    target.width = 800;
    target.height = 600;
    grid = CreateGrid(25, 18, 32, 32, "mygrid", AnyID);
    ASSERT_NE(grid, nullptr);
  }
  void TearDown() override {
    EndDrawing();
    FreeGrid(grid);
    SelectObject(dc, kept);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  COLORREF At(int x, int y) { return GetPixel(dc, x, y); }

  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ kept = nullptr;
  DrawingTarget target{};
  CollisionGrid* grid = nullptr;
};

TEST_F(GridDrawingTest, CellsAreOutlinedByOccupancyAndTheBoxInItsColour) {
  Entity* e = CreateEntity("miau", AnyID);
  e->x = 40;
  e->y = 40;
  e->width = 20;
  e->height = 20;  // cell (1, 1) only
  e->colour = 0xFF0000;
  AddEntityToGrid(grid, e);
  ASSERT_NE(BeginDrawing(&target), 0);
  EXPECT_EQ(DrawEntityBox(e), 1);
  DrawGrid(grid);
  EndDrawing();
  EXPECT_EQ(At(32, 48), 0x0000FFu) << "left edge of the occupied cell";
  EXPECT_EQ(At(63, 48), 0x0000FFu) << "right edge of the occupied cell";
  EXPECT_EQ(At(31, 48), 0x00FF00u) << "right edge of the empty cell beside it";
  EXPECT_EQ(At(0, 0), 0x00FF00u);
  EXPECT_EQ(At(799, 575), 0x00FF00u) << "bottom-right corner of the last cell";
  EXPECT_EQ(At(400, 590), 0u) << "below the grid";
  EXPECT_EQ(At(40, 50), 0xFF0000u) << "the box's left edge";
  EXPECT_EQ(At(50, 50), 0u) << "outlines are not filled";
}

}  // namespace
