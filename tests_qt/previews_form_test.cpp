// The Qt form of the processing preview dialog on the offscreen platform,
// opened by DoPreviews through the Qt bridge and used as a user would:
// tabs, parameter editors, the lock, Preview, OK and Cancel.
#include "hosts/qt/previews_form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <functional>
#include <memory>

#include "core/conversions.h"
#include "platform/bitmap.h"
#include "processing/pictavoproc.h"
#include "tests_qt/modal_test_util.h"

namespace pictavo::qt {
namespace {

using namespace formtest;

constexpr int kW = 40, kH = 30;

TRGB At(const TBitmap& bm, int x, int y) {
  const uint8_t* row = bm.ScanLine(y);
  return TRGB{row[x * 3], row[x * 3 + 1], row[x * 3 + 2]};
}

// Colours from the position, so that every pixel differs from its neighbours.
std::unique_ptr<TBitmap> Pattern() {
  auto bm = std::make_unique<TBitmap>(kW, kH, pf24bit);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      uint8_t* p = bm->ScanLine(y) + x * 3;
      p[0] = uint8_t(x * 6), p[1] = uint8_t(y * 8), p[2] = uint8_t(200 - x - y);
    }
  return bm;
}

class PreviewsQtForm : public ::testing::Test {
 protected:
  void SetUp() override {
    src = Pattern();
    PVCopyBitmap(*src, bm);
    proc.SetAttachedBitmap(&bm);
  }
  std::unique_ptr<TBitmap> src;
  TBitmap bm;
  TPictavoProc proc;
};

TEST_F(PreviewsQtForm, TabsFollowTheEffectsAndSwitchTheModelsPage) {
  WhenShown<PreviewsForm>([](PreviewsForm& form) {
    auto* tabs = Child<QTabWidget>(form, "pages");
    if (!tabs) return;
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(0), "RGB");
    EXPECT_EQ(tabs->tabText(1), "Wave");
    EXPECT_EQ(form.windowTitle(), "Preview");
    tabs->setCurrentIndex(1);
    EXPECT_EQ(form.Model().ActivePage(), pvpWave);
    // The page's editors show the model's defaults.
    auto* amplitude = Child<QSpinBox>(form, "param_waveAmplitude");
    if (amplitude) {
      EXPECT_EQ(amplitude->value(), 10);
    }
  });
  EXPECT_FALSE(proc.DoPreviews({peRGB, peWave}));
}

TEST_F(PreviewsQtForm, EditorsDriveTheResultAndOkAppliesToTheImage) {
  WhenShown<PreviewsForm>([](PreviewsForm& form) {
    auto* red = Child<QSpinBox>(form, "param_red");
    auto* lock = Child<QCheckBox>(form, "lockCheck");
    auto* preview = Child<QPushButton>(form, "previewButton");
    auto* ok = Child<QPushButton>(form, "okButton");
    if (!red || !lock || !preview || !ok) return;
    TfPreviews& model = form.Model();
    const TBitmap& result = model.ResultView().Bitmap();
    const TRGB before = At(result, 3, 4);
    EXPECT_TRUE(preview->isEnabled());
    red->setValue(-50);
    EXPECT_EQ(model.GetParam(pvprRed), -50);
    EXPECT_EQ(At(result, 3, 4), before);  // lock up: nothing yet
    preview->click();
    EXPECT_EQ(At(result, 3, 4).r, std::max(before.r - 50, 0));
    lock->setChecked(true);
    EXPECT_FALSE(preview->isEnabled());
    red->setValue(20);
    EXPECT_EQ(At(result, 3, 4).r, std::min(before.r + 20, 255));
    ok->click();
  });
  EXPECT_TRUE(proc.DoPreviews({peRGB}));
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const TRGB s = At(*src, x, y), d = At(bm, x, y);
      ASSERT_EQ(d.r, std::min(s.r + 20, 255)) << x << "," << y;
      ASSERT_EQ(d.g, s.g);
      ASSERT_EQ(d.b, s.b);
    }
}

TEST_F(PreviewsQtForm, CancelLeavesTheImageAlone) {
  WhenShown<PreviewsForm>([](PreviewsForm& form) {
    auto* flip = Child<QCheckBox>(form, "param_flipVertical");
    auto* cancel = Child<QPushButton>(form, "cancelButton");
    if (!flip || !cancel) return;
    flip->setChecked(true);
    EXPECT_EQ(form.Model().GetParam(pvprFlipVertical), 1);
    cancel->click();
  });
  EXPECT_FALSE(proc.DoPreviews({peRotate}));
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) ASSERT_EQ(At(bm, x, y), At(*src, x, y));
}

}  // namespace
}  // namespace pictavo::qt
