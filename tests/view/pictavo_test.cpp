// The all-in-one control: its two components attached to itself, one
// progress handler for loading and processing, Assign with the I/O
// parameters, the dialogs without a host, and its lifetime.
#include "view/pictavo.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "dialogs/pvopensavedlg.h"
#include "platform/desktop.h"
#include "platform/stream.h"
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

TEST_F(PictavoControl, PropertiesReachTheComponentsThatKeepThem) {
  TPictavo pv;
  pv.SetAutoUndo(false);
  EXPECT_FALSE(pv.Proc().GetAutoUndo());
  pv.SetMsgLanguage(msGerman);
  EXPECT_EQ(pv.Proc().GetMsgLanguage(), msGerman);
  pv.SetProcPreviewsParams(TPRPreviewsParams{prppDefaultLockPreview});
  EXPECT_TRUE(pv.Proc().GetPreviewsParams().Contains(prppDefaultLockPreview));
  pv.SetStreamHeaders(true);
  EXPECT_TRUE(pv.IO().GetStreamHeaders());
  pv.SetStreamHeaders(false);
  EXPECT_FALSE(pv.IO().GetStreamHeaders());
  int previews = 0;
  pv.SetOnPreview([&](TObject*, TForm*) { ++previews; });
  ASSERT_TRUE(pv.Proc().OnPreview);
  pv.Proc().OnPreview(nullptr, nullptr);
  EXPECT_EQ(previews, 1);
  // The preview font is set on both components.
  TFont font;
  font.SetName("DejaVu Serif");
  font.SetSize(17);
  pv.SetPreviewFont(font);
  EXPECT_EQ(pv.Proc().GetPreviewFont().GetName(), "DejaVu Serif");
  EXPECT_EQ(pv.IO().GetPreviewFont().GetSize(), 17);
  EXPECT_EQ(pv.GetPreviewFont().GetName(), "DejaVu Serif");
}

TEST_F(PictavoControl, ForwardsWorkOnTheViewsBitmap) {
  auto source = MakeBitmap(6, 4, CoordColor);
  TPictavo pv;
  pv.Assign(source.get());
  pv.Flip(fdHorizontal);
  // Mirrored left to right: (x, y) now holds the source's (5 - x, y).
  EXPECT_EQ(Get(pv.Bitmap(), 0, 2), Get(*source, 5, 2));
  EXPECT_EQ(Get(pv.Bitmap(), 4, 1), Get(*source, 1, 1));
  EXPECT_TRUE(pv.GetCanUndo());
  pv.Undo();
  EXPECT_TRUE(proctest::SamePixels(pv.Bitmap(), *source));

  // A PNG stream written by one control and read by another one's per-format
  // method, with the parameters-only read beforehand.
  TMemoryStream stream;
  pv.SaveToStreamPNG(stream);
  ASSERT_FALSE(pv.GetAborting());
  TPictavo other;
  const int untouchedWidth = other.Bitmap().GetWidth();
  ASSERT_NE(untouchedWidth, 6);
  stream.SetPosition(0);
  other.ParamsFromStream(stream);
  EXPECT_EQ(other.GetIOParams().Width, 6);
  EXPECT_EQ(other.GetIOParams().Height, 4);
  EXPECT_EQ(other.Bitmap().GetWidth(), untouchedWidth);  // parameters only
  stream.SetPosition(0);
  other.LoadFromStreamPNG(stream);
  ASSERT_FALSE(other.GetAborting());
  EXPECT_TRUE(proctest::SamePixels(other.Bitmap(), *source));

  // A failed load reports through the forwarded abort flag.
  TMemoryStream garbage;
  const char junk[] = "not a picture at all";
  garbage.Write(junk, sizeof junk);
  garbage.SetPosition(0);
  other.LoadFromStreamGif(garbage);
  EXPECT_TRUE(other.GetAborting());
  other.SetAborting(false);
  EXPECT_FALSE(other.IO().Aborting);
}

TEST_F(PictavoControl, OpenDialogIsOwnedByTheViewAndSpeaksItsLanguage) {
  auto source = MakeBitmap(12, 9, CoordColor);
  TPictavo writer;
  writer.Assign(source.get());
  writer.SaveToFile(Path("pick.png"));
  ASSERT_FALSE(writer.GetAborting());

  TPictavo pv;
  pv.SetMsgLanguage(msFrench);
  int shown = 0;
  TPVDialogHostScope host([&](TPVDialogModel& model) {
    ++shown;
    auto* d = dynamic_cast<TOpenPictavoDialog*>(&model);
    if (!d) return false;
    EXPECT_EQ(d->GetOwner(), &pv);
    EXPECT_EQ(d->GetInitialDir(), dir_.string());
    EXPECT_EQ(d->GetFilter(), "PNG|*.png");
    EXPECT_TRUE(d->GetAnimate());  // from AlwaysAnimate
    EXPECT_EQ(d->GetMsgLanguage(), msFrench);
    EXPECT_EQ(d->Caption(PVMSG_CANCEL), "Annuler");
    d->SelectFile(Path("pick.png"));
    EXPECT_EQ(d->GetPreview().Width, 12);
    EXPECT_EQ(d->GetPreview().Height, 9);
    return true;
  });
  EXPECT_EQ(pv.ExecuteOpenDialog(dir_.string(), "PNG|*.png", true), Path("pick.png"));
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(pv.ComponentCount(), 2);  // the dialog was freed
}

TEST_F(PictavoControl, SaveDialogEditsTheOwnedIOParameters) {
  TPictavo pv;
  pv.GetIOParams().JPEG_Quality = 90;
  bool accept = false;
  TPVDialogHostScope host([&](TPVDialogModel& model) {
    auto* d = dynamic_cast<TSavePictavoDialog*>(&model);
    if (!d) return false;
    EXPECT_EQ(d->GetAttachedPictavoIO(), &pv.IO());
    d->SetFileName(Path("out"));
    EXPECT_TRUE(d->SetFormat(ftJPEG));
    EXPECT_EQ(d->GetFieldValue("JPEG_Quality"), 90);
    EXPECT_TRUE(d->SetFieldValue("JPEG_Quality", 50));
    return accept;
  });
  // Cancelled: no name and the parameters stay.
  EXPECT_EQ(pv.ExecuteSaveDialog(dir_.string(), "", false), "");
  EXPECT_EQ(pv.GetIOParams().JPEG_Quality, 90);
  accept = true;
  EXPECT_EQ(pv.ExecuteSaveDialog(dir_.string(), "", false), Path("out.jpg"));
  EXPECT_EQ(pv.GetIOParams().JPEG_Quality, 50);
  EXPECT_EQ(pv.ComponentCount(), 2);
}

}  // namespace
}  // namespace pictavo
