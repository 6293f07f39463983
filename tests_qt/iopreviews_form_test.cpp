// The Qt form of the I/O parameters preview dialog on the offscreen
// platform, shown through the Qt dialog host and used as a user would:
// page tabs, field editors, Preview, the lock, OK and Cancel.
#include "hosts/qt/iopreviews_form.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <memory>

#include "core/conversions.h"
#include "formats/registry.h"
#include "platform/bitmap.h"
#include "tests_qt/modal_test_util.h"

namespace pictavo::qt {
namespace {

using namespace formtest;

constexpr int kW = 64, kH = 48;

// Gradients with texture, so that JPEG sizes follow the quality.
void FillPattern(TBitmap& bm) {
  bm.SetPixelFormat(pf24bit);
  bm.SetSize(kW, kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      uint8_t* p = bm.ScanLine(y) + x * 3;
      const int t = (x * 37 + y * 91) % 23;
      p[0] = uint8_t(x * 3 + t), p[1] = uint8_t(y * 5), p[2] = uint8_t(250 - x - y + t);
    }
}

// The number after "caption: " in a size label; -1 when there is none.
long long SizeShown(QLabel* label) {
  const QString text = label->text();
  const int colon = text.lastIndexOf(':');
  bool ok = false;
  const long long n = text.mid(colon + 1).trimmed().toLongLong(&ok);
  return colon >= 0 && ok ? n : -1;
}

class IOPreviewsQtForm : public ::testing::Test {
 protected:
  void SetUp() override {
    TPVIOPreviewsSetup setup;
    setup.fileTypes = {ftJPEG, ftPNG};
    dialog.Setup(setup);
    FillPattern(dialog.SourceBitmap());
    dialog.Params().JPEG_Quality = 90;
  }
  TfIOPreviews dialog;
};

TEST_F(IOPreviewsQtForm, ShowsTheSetupsPagesWithTheirFields) {
  WhenShown<IOPreviewsForm>([](IOPreviewsForm& form) {
    EXPECT_EQ(form.windowTitle(), "Parameters Preview");
    auto* tabs = Child<QTabBar>(form, "pages");
    if (!tabs) return;
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(0), "JPEG");
    EXPECT_EQ(tabs->tabText(1), "PNG");
    auto* quality = Child<QSpinBox>(form, "field_JPEG_Quality");
    if (quality) {
      EXPECT_EQ(quality->value(), 90);
    }
    EXPECT_EQ(form.findChild<QComboBox*>("field_PNG_Filter"), nullptr);
    // The source is shown, and so is the JPEG result.
    EXPECT_FALSE(Child<QLabel>(form, "sourcePicture")->pixmap().isNull());
    EXPECT_FALSE(Child<QLabel>(form, "resultPicture")->pixmap().isNull());
    EXPECT_EQ(SizeShown(Child<QLabel>(form, "originalSize")), kW * kH * 3);

    tabs->setCurrentIndex(1);
    EXPECT_EQ(form.Model().ActiveFileType(), ftPNG);
    EXPECT_EQ(form.findChild<QSpinBox*>("field_JPEG_Quality"), nullptr);
    auto* filter = Child<QComboBox>(form, "field_PNG_Filter");
    if (filter) {
      EXPECT_EQ(filter->currentData().toInt(), int(form.Model().Params().PNG_Filter));
    }
    EXPECT_EQ(SizeShown(Child<QLabel>(form, "compressedSize")), form.Model().Result().EncodedSize);
  });
  EXPECT_EQ(dialog.ShowModal(), mrCancel);
}

TEST_F(IOPreviewsQtForm, PreviewShowsTheNewSizeAndOkKeepsTheQuality) {
  WhenShown<IOPreviewsForm>([](IOPreviewsForm& form) {
    auto* quality = Child<QSpinBox>(form, "field_JPEG_Quality");
    auto* size = Child<QLabel>(form, "compressedSize");
    auto* preview = Child<QPushButton>(form, "previewButton");
    auto* ok = Child<QPushButton>(form, "okButton");
    if (!quality || !size || !preview || !ok) return;
    const long long at90 = SizeShown(size);
    EXPECT_GT(at90, 0);
    EXPECT_TRUE(preview->isEnabled());
    quality->setValue(10);
    EXPECT_EQ(form.Model().Params().JPEG_Quality, 10);
    EXPECT_EQ(SizeShown(size), at90);  // lock up: not yet
    EXPECT_FALSE(size->isEnabled());
    preview->click();
    EXPECT_LT(SizeShown(size), at90);
    EXPECT_EQ(SizeShown(size), form.Model().Result().EncodedSize);
    EXPECT_TRUE(size->isEnabled());
    ok->click();
  });
  EXPECT_EQ(dialog.ShowModal(), mrOk);
  EXPECT_EQ(dialog.Params().JPEG_Quality, 10);
}

TEST_F(IOPreviewsQtForm, LockedEditsPreviewAtOnceAndCancelForgetsThem) {
  WhenShown<IOPreviewsForm>([](IOPreviewsForm& form) {
    auto* quality = Child<QSpinBox>(form, "field_JPEG_Quality");
    auto* size = Child<QLabel>(form, "compressedSize");
    auto* lock = Child<QCheckBox>(form, "lockCheck");
    auto* preview = Child<QPushButton>(form, "previewButton");
    auto* cancel = Child<QPushButton>(form, "cancelButton");
    if (!quality || !size || !lock || !preview || !cancel) return;
    const long long at90 = SizeShown(size);
    lock->setChecked(true);
    EXPECT_FALSE(preview->isEnabled());
    quality->setValue(15);
    EXPECT_LT(SizeShown(size), at90);
    EXPECT_EQ(SizeShown(size), form.Model().Result().EncodedSize);
    cancel->click();
  });
  EXPECT_EQ(dialog.ShowModal(), mrCancel);
  EXPECT_EQ(dialog.Params().JPEG_Quality, 90);
}

}  // namespace
}  // namespace pictavo::qt
