// TPictavoIO::DoPreviews: which targets and page sets it refuses, what the
// form receives (a 24-bit copy, a copy of the parameters, the options), when
// OnIOPreview runs, and that only OK brings the edited parameters back.  The
// form is a test stand-in that edits the JPEG quality when shown.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "dialogs/pvwords.h"
#include "formats/registry.h"
#include "io/iopreviewsform.h"
#include "io/pictavoio.h"
#include "platform/bitmap.h"
#include "view/pictavo.h"

namespace pictavo {
namespace {

struct FormLog {
  int created = 0;
  int shown = 0;
  TPVIOPreviewsSetup setup;
  TForm* form = nullptr;
  TPixelFormat format = pfDevice;
  std::vector<uint8_t> firstRow;  // of the source copy when shown
  int quality = -1;               // Params().JPEG_Quality when shown
  bool previewEventFirst = false;
};

class TTestForm : public IPVIOPreviewsForm {
 public:
  TTestForm(FormLog& log, TModalResult result) : log_(log), result_(result) {}
  TForm* Form() override { return &form_; }
  void Setup(const TPVIOPreviewsSetup& setup) override { log_.setup = setup; }
  TBitmap& SourceBitmap() override { return source_; }
  TIOParamsVals& Params() override { return params_; }
  TModalResult ShowModal() override {
    ++log_.shown;
    log_.form = &form_;
    log_.format = source_.GetPixelFormat();
    const uint8_t* row = source_.ScanLine(0);
    log_.firstRow.assign(row, row + 3 * source_.GetWidth());
    log_.quality = params_.JPEG_Quality;
    params_.JPEG_Quality = 33;  // the user's edit
    return result_;
  }

 private:
  FormLog& log_;
  TModalResult result_;
  TForm form_;
  TBitmap source_;
  TIOParamsVals params_;
};

// Installs a factory of test forms for the test's duration.
class IOPreviewsTest : public ::testing::Test {
 protected:
  void Install(TModalResult result) {
    previous_ = PVSetIOPreviewsFormFactory([this, result](TComponent*) {
      ++log_.created;
      return std::make_unique<TTestForm>(log_, result);
    });
  }
  void TearDown() override { PVSetIOPreviewsFormFactory(previous_); }
  FormLog log_;
  TPVIOPreviewsFormFactory previous_;
};

TEST(IOPreviewPages, SetsGiveTheirFormatsInDisplayOrder) {
  const std::vector<int32_t> all = {ftJPEG, ftTIFF, ftGIF, ftBMP, ftPCX, ftPNG, ftTGA};
  EXPECT_EQ(PVIOPreviewPages(TPreviewParams{ppALL}, 0), all);
  EXPECT_EQ(PVIOPreviewPages(TPreviewParams{ppTGA, ppGIF, ppJPEG}, 0),
            (std::vector<int32_t>{ftJPEG, ftGIF, ftTGA}));
  EXPECT_EQ(PVIOPreviewPages(TPreviewParams{ppAUTO}, ftPNG), std::vector<int32_t>{ftPNG});
  EXPECT_EQ(PVIOPreviewPages(TPreviewParams{ppAUTO, ppPNG}, ftPNG), std::vector<int32_t>{ftPNG});
  EXPECT_TRUE(PVIOPreviewPages(TPreviewParams{ppAUTO}, ftPXM).empty());
  EXPECT_TRUE(PVIOPreviewPages(TPreviewParams{}, ftJPEG).empty());
}

TEST_F(IOPreviewsTest, RefusesWithoutTargetPageOrDialog) {
  TPictavoIO io;
  TBitmap bitmap(4, 3, pf24bit);
  PVSetIOPreviewsFormFactory(nullptr);
  io.SetAttachedBitmap(&bitmap);
  EXPECT_FALSE(io.DoPreviews(TPreviewParams{ppALL}));  // no dialog
  Install(mrOk);
  TPictavoIO noTarget;
  EXPECT_FALSE(noTarget.DoPreviews(TPreviewParams{ppALL}));
  TBitmap empty;
  TPictavoIO emptyTarget;
  emptyTarget.SetAttachedBitmap(&empty);
  EXPECT_FALSE(emptyTarget.DoPreviews(TPreviewParams{ppALL}));
  io.IOParams().FileType = ftPXM;  // ppAUTO of a format without a page
  EXPECT_FALSE(io.DoPreviews(TPreviewParams{ppAUTO}));
  EXPECT_EQ(log_.created, 0);
  EXPECT_EQ(io.IOParams().JPEG_Quality, TIOParamsVals().JPEG_Quality);
}

TEST_F(IOPreviewsTest, FormGetsCopiesAndOptionsAndOkKeepsTheEdits) {
  Install(mrOk);
  TPictavoIO io;
  TBitmap bitmap(3, 2, pf1bit);  // black, then a white first pixel
  bitmap.ScanLine(0)[0] = 0x80;
  io.SetAttachedBitmap(&bitmap);
  io.IOParams().JPEG_Quality = 77;
  io.IOParams().FileType = ftJPEG;
  io.SetPreviewsParams(TIOPreviewsParams{ioppDefaultLockPreview});
  io.SetMsgLanguage(msItalian);
  TForm* seen = nullptr;
  io.OnIOPreview = [&](TObject* sender, TForm* form) {
    EXPECT_EQ(sender, &io);
    seen = form;
    log_.previewEventFirst = log_.shown == 0;
  };
  EXPECT_TRUE(io.DoPreviews(TPreviewParams{ppAUTO, ppTGA}));
  EXPECT_EQ(log_.created, 1);
  EXPECT_TRUE(log_.setup.lockPreview);
  EXPECT_EQ(log_.setup.language, msItalian);
  EXPECT_EQ(log_.setup.font, &io.GetPreviewFont());
  EXPECT_EQ(log_.setup.fileTypes, (std::vector<int32_t>{ftJPEG, ftTGA}));
  EXPECT_EQ(seen, log_.form);
  EXPECT_TRUE(log_.previewEventFirst);
  // A 24-bit copy: white, black, black; the target keeps its own format.
  EXPECT_EQ(log_.format, pf24bit);
  EXPECT_EQ(log_.firstRow, (std::vector<uint8_t>{255, 255, 255, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(bitmap.GetPixelFormat(), pf1bit);
  EXPECT_EQ(log_.quality, 77);
  EXPECT_EQ(io.IOParams().JPEG_Quality, 33);
}

TEST_F(IOPreviewsTest, CancelLeavesTheParameters) {
  Install(mrCancel);
  TPictavoIO io;
  TBitmap bitmap(2, 2, pf24bit);
  io.SetAttachedBitmap(&bitmap);
  io.IOParams().JPEG_Quality = 64;
  EXPECT_FALSE(io.DoPreviews(TPreviewParams{ppJPEG}));
  EXPECT_EQ(log_.shown, 1);
  EXPECT_FALSE(log_.setup.lockPreview);
  EXPECT_EQ(io.IOParams().JPEG_Quality, 64);
}

TEST_F(IOPreviewsTest, TheAllInOneViewForwardsToItsIOComponent) {
  Install(mrOk);
  TPictavo pv;
  pv.Bitmap().SetSize(5, 4);
  pv.SetMsgLanguage(msGerman);
  pv.SetIOPreviewsParams(TIOPreviewsParams{ioppDefaultLockPreview});
  int events = 0;
  pv.SetOnIOPreview([&](TObject*, TForm*) { ++events; });
  EXPECT_TRUE(pv.DoIOPreviews(TPreviewParams{ppPNG}));
  EXPECT_EQ(events, 1);
  EXPECT_EQ(log_.setup.language, msGerman);
  EXPECT_TRUE(log_.setup.lockPreview);
  EXPECT_EQ(log_.setup.fileTypes, std::vector<int32_t>{ftPNG});
  EXPECT_EQ(pv.IO().IOParams().JPEG_Quality, 33);
}

}  // namespace
}  // namespace pictavo
