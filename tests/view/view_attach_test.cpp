// Bitmap-change callbacks of the view, and the I/O component attached to a
// view or a TImage.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "io/pictavoio.h"
#include "platform/image.h"
#include "platform/stream.h"
#include "tests/view/view_test_util.h"
#include "view/pictavoview.h"

namespace pictavo {
namespace {

using viewtest::CoordColor;
using viewtest::MakeBitmap;
using viewtest::ViewFixture;

using ViewAttach = ViewFixture;

TEST_F(ViewAttach, CallbacksRunInOrderAndRemoveTakesTheFirstOfAKey) {
  std::vector<std::string> calls;
  int a = 0, b = 0;
  view->RegisterBitmapChangeEvent(&a, [&](TObject* s, bool d) {
    EXPECT_EQ(s, view.get());
    calls.push_back(d ? "a!" : "a");
  });
  view->RegisterBitmapChangeEvent(&b, [&](TObject*, bool d) { calls.push_back(d ? "b!" : "b"); });
  view->RegisterBitmapChangeEvent(&a, [&](TObject*, bool d) { calls.push_back(d ? "a2!" : "a2"); });
  view->CallBitmapChangeEvents();
  EXPECT_EQ(calls, (std::vector<std::string>{"a", "b", "a2"}));
  view->RemoveBitmapChangeEvent(&a);
  view->RemoveBitmapChangeEvent(&calls);  // not registered: nothing happens
  calls.clear();
  view->CallBitmapChangeEvents();
  EXPECT_EQ(calls, (std::vector<std::string>{"b", "a2"}));
  calls.clear();
  Desktop().RemoveWindow(view.get());
  view.reset();
  EXPECT_EQ(calls, (std::vector<std::string>{"b!", "a2!"}));
}

TEST_F(ViewAttach, ResolutionIgnoresZero) {
  view->SetDPI(300, 150);
  view->SetDPIX(0);
  view->SetDPI(0, 0);
  EXPECT_EQ(view->GetDPIX(), 300);
  EXPECT_EQ(view->GetDPIY(), 150);
}

TEST_F(ViewAttach, AssignConvertsOtherFormatsAndNullClears) {
  TBitmap grey(3, 2, pf8bit);
  grey.SetPixel(1, 1, TColor(0x808080));
  view->SetBounds(0, 0, 50, 50);
  int changes = 0;
  view->OnImageChange = [&](TObject*) { ++changes; };
  view->Assign(&grey);
  EXPECT_EQ(view->Bitmap().GetPixelFormat(), pf24bit);
  EXPECT_EQ(view->Bitmap().GetWidth(), 3);
  EXPECT_EQ(view->Bitmap().GetPixel(1, 1), 0x808080u);
  EXPECT_EQ(changes, 1);
  view->SetBackGround(0x0000FF);
  view->Assign(nullptr);
  EXPECT_EQ(view->Bitmap().GetPixel(1, 1), 0x0000FFu);
  TPictavoView other;
  other.Assign(view.get());
  EXPECT_EQ(other.Bitmap().GetPixel(2, 1), 0x0000FFu);
  EXPECT_EQ(other.GetBackground(), 0x0000FFu);
}

TEST_F(ViewAttach, AssignSelToCopiesTheSelectedBox) {
  auto image = MakeBitmap(30, 30, CoordColor);
  Show(60, 60, *image);
  view->SetSelectionBase(pvsbBitmap);
  view->Select(4, 6, 10, 9);
  TBitmap out;
  view->AssignSelTo(&out);
  ASSERT_EQ(out.GetWidth(), 6);
  ASSERT_EQ(out.GetHeight(), 3);
  EXPECT_EQ(out.GetPixel(0, 0), CoordColor(4, 6));
  EXPECT_EQ(out.GetPixel(5, 2), CoordColor(9, 8));
  EXPECT_TRUE(out.GetModified());
}

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("pictavo_view_" + name)).string();
}

// A 24-bit BMP of 300 dpi with a known picture, written by a bare component.
std::string WriteSampleBmp(int w, int h) {
  auto image = MakeBitmap(w, h, CoordColor);
  TPictavoIO writer;
  writer.SetAttachedBitmap(image.get());
  writer.IOParams().DpiX = 300;
  writer.IOParams().DpiY = 300;
  std::string path = TempPath("sample.bmp");
  writer.SaveToFile(path);
  EXPECT_FALSE(writer.Aborting);
  return path;
}

TEST_F(ViewAttach, LoadIntoAViewSetsResolutionAndLaysOut) {
  const std::string path = WriteSampleBmp(37, 21);
  view->SetBounds(0, 0, 80, 80);
  TPictavoIO io;
  io.SetAttachedPictavo(view.get());
  EXPECT_EQ(io.GetAttachedBitmap(), view->GetFBitmap());
  EXPECT_EQ(view->BitmapChangeEventCount(), 1);
  int changes = 0;
  view->OnImageChange = [&](TObject*) { ++changes; };
  io.LoadFromFile(path);
  ASSERT_FALSE(io.Aborting);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(view->GetDPIX(), 300);
  EXPECT_EQ(view->ZoomedWidth(), 37);  // the layout saw the new size
  Desktop().ProcessMessages();
  EXPECT_EQ(view->Surface().GetPixel(36, 20), CoordColor(36, 20));
  // Background reads and writes the view's.
  io.SetBackground(0x00FF00);
  EXPECT_EQ(view->GetBackground(), 0x00FF00u);
  // A null bare bitmap keeps the view attached.
  io.SetAttachedBitmap(nullptr);
  EXPECT_EQ(io.GetAttachedPictavo(), view.get());
  std::filesystem::remove(path);
}

TEST_F(ViewAttach, DestroyedViewIsForgottenAndDetachingUnregisters) {
  TPictavoIO io;
  io.SetAttachedPictavo(view.get());
  TBitmap bare(4, 4, pf24bit);
  io.SetAttachedBitmap(&bare);
  EXPECT_EQ(io.GetAttachedPictavo(), nullptr);
  EXPECT_EQ(view->BitmapChangeEventCount(), 0);
  io.SetAttachedPictavo(view.get());
  Desktop().RemoveWindow(view.get());
  view.reset();
  EXPECT_EQ(io.GetAttachedPictavo(), nullptr);
  EXPECT_EQ(io.GetAttachedBitmap(), nullptr);
  io.LoadFromFile(TempPath("missing.bmp"));  // no target: nothing happens
  EXPECT_FALSE(io.Aborting);
}

TEST_F(ViewAttach, ComponentGoingFirstLeavesNoCallback) {
  {
    TPictavoIO io;
    io.SetAttachedPictavo(view.get());
    EXPECT_EQ(view->BitmapChangeEventCount(), 1);
  }
  EXPECT_EQ(view->BitmapChangeEventCount(), 0);
}

TEST_F(ViewAttach, LoadIntoATImageRepaintsItAndFreeNotificationClears) {
  const std::string path = WriteSampleBmp(12, 9);
  auto image = std::make_unique<TImage>();
  image->SetBounds(0, 0, 30, 30);
  TPictavoIO io;
  io.SetTImage(image.get());
  EXPECT_EQ(io.GetAttachedBitmap(), &image->Picture().Bitmap());
  int changes = 0;
  image->Picture().OnChange = [&](TObject*) { ++changes; };
  io.LoadFromFile(path);
  ASSERT_FALSE(io.Aborting);
  EXPECT_EQ(image->Picture().GetWidth(), 12);
  EXPECT_EQ(image->Picture().Bitmap().GetPixel(11, 8), CoordColor(11, 8));
  EXPECT_GT(changes, 0);
  image.reset();
  EXPECT_EQ(io.GetAttachedTImage(), nullptr);
  EXPECT_EQ(io.GetAttachedBitmap(), nullptr);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace pictavo
