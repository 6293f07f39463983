// The all-in-one control: its two components attached to itself, one
// progress handler for loading and processing, Assign with the I/O
// parameters, the dialogs without a host, and its lifetime.
#include "view/pictavo.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "tests/processing/proc_test_support.h"
#include "tests/view/view_test_util.h"
#include "view/view_globals.h"

namespace pictavo {
namespace {

using proctest::Get;
using viewtest::CoordColor;
using viewtest::MakeBitmap;

class PictavoControl : public ::testing::Test {
 protected:
  void SetUp() override {
    Desktop().Reset();
    PVReadViewGlobals();
    dir_ = std::filesystem::temp_directory_path() /
           ("pictavo_all_in_one_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::filesystem::remove_all(dir_);
    Desktop().Reset();
  }
  std::string Path(const std::string& name) { return (dir_ / name).string(); }

  std::filesystem::path dir_;
};

TEST_F(PictavoControl, OwnsBothComponentsAttachedToItself) {
  TPictavo pv;
  EXPECT_EQ(pv.Proc().GetAttachedPictavo(), &pv);
  EXPECT_EQ(pv.IO().GetAttachedPictavo(), &pv);
  EXPECT_EQ(pv.Proc().GetAttachedBitmap(), &pv.Bitmap());
  EXPECT_EQ(pv.IO().GetAttachedBitmap(), &pv.Bitmap());
  EXPECT_EQ(pv.BitmapChangeEventCount(), 2);
  EXPECT_TRUE(pv.GetAutoUndo());
}

TEST_F(PictavoControl, OneProgressHandlerHearsLoadingAndProcessing) {
  auto source = MakeBitmap(8, 6, CoordColor);
  TPictavo writer;
  writer.Assign(source.get());
  writer.SaveToFile(Path("in.bmp"));
  ASSERT_FALSE(writer.GetAborting());

  TPictavo pv;
  std::vector<TObject*> senders;
  pv.SetOnProgress([&](TObject* sender, int) { senders.push_back(sender); });
  pv.LoadFromFile(Path("in.bmp"));
  ASSERT_FALSE(pv.GetAborting());
  ASSERT_EQ(pv.Bitmap().GetWidth(), 8);
  EXPECT_EQ(Get(pv.Bitmap(), 5, 3), Get(*source, 5, 3));
  const size_t fromLoad = senders.size();
  ASSERT_GT(fromLoad, 0u);
  EXPECT_EQ(senders.front(), static_cast<TObject*>(&pv.IO()));

  pv.Negative();
  ASSERT_GT(senders.size(), fromLoad);
  EXPECT_EQ(senders.back(), static_cast<TObject*>(&pv.Proc()));
  const TRGB c = Get(*source, 5, 3);
  EXPECT_EQ(Get(pv.Bitmap(), 5, 3), proctest::C(255 - c.r, 255 - c.g, 255 - c.b));
  pv.Undo();
  EXPECT_EQ(Get(pv.Bitmap(), 5, 3), c);
}

TEST_F(PictavoControl, AssignCopiesIOParamsBitmapBackgroundAndResolution) {
  auto source = MakeBitmap(7, 5, CoordColor);
  TPictavo from;
  from.Assign(source.get());
  from.SetBackGround(TColor(0x123456));
  from.SetDPI(300, 150);
  from.GetIOParams().JPEG_Quality = 93;

  TPictavo to;
  to.Assign(&from);
  EXPECT_EQ(to.GetIOParams().JPEG_Quality, 93);
  EXPECT_TRUE(proctest::SamePixels(to.Bitmap(), *source));
  EXPECT_EQ(to.GetBackground(), TColor(0x123456));
  EXPECT_EQ(to.GetDPIX(), 300);
  EXPECT_EQ(to.GetDPIY(), 150);
  // The components still work on the (possibly replaced) bitmap.
  EXPECT_EQ(to.Proc().GetAttachedBitmap(), &to.Bitmap());
  EXPECT_EQ(to.IO().GetAttachedBitmap(), &to.Bitmap());
}

TEST_F(PictavoControl, AssignIOParamsTakesAnIOComponentAndIgnoresOthers) {
  TPictavoIO io;
  io.IOParams().JPEG_Quality = 71;
  TPictavo pv;
  pv.AssignIOParams(&io);
  EXPECT_EQ(pv.GetIOParams().JPEG_Quality, 71);
  TPictavoView plain;
  pv.AssignIOParams(&plain);
  EXPECT_EQ(pv.GetIOParams().JPEG_Quality, 71);
}

TEST_F(PictavoControl, DialogsWithoutAHostReturnNothing) {
  TPictavo pv;
  EXPECT_EQ(pv.ExecuteOpenDialog(dir_.string(), "", false), "");
  EXPECT_EQ(pv.ExecuteSaveDialog(dir_.string(), "", true), "");
  EXPECT_EQ(pv.ComponentCount(), 2);  // the dialogs were freed
}

TEST_F(PictavoControl, FreedByItsOwnerItLeavesOutsideComponentsDetached) {
  auto owner = std::make_unique<TComponent>();
  auto* pv = new TPictavo(owner.get());
  pv->Assign(MakeBitmap(4, 4, CoordColor).get());
  TPictavoProc outside;
  outside.SetAttachedPictavo(pv);
  ASSERT_EQ(pv->BitmapChangeEventCount(), 3);
  owner.reset();  // frees the control, which frees its own components first
  EXPECT_EQ(outside.GetAttachedPictavo(), nullptr);
  EXPECT_EQ(outside.GetAttachedBitmap(), nullptr);
}

}  // namespace
}  // namespace pictavo
