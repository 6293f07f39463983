#include "apps/viewdemo/panel.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "controls/gradientbar.h"
#include "controls/histogrambox.h"
#include "controls/hsvbox.h"
#include "controls/rulerbox.h"
#include "hosts/qt/host_widget.h"
#include "processing/pictavoproc.h"
#include "view/pictavoview.h"

namespace {

using namespace pictavo;

constexpr int kPanelWidth = 260;
constexpr int kRulerHeight = 30;

// The controls live as long as the window; Qt deletes the window, the
// window deletes this holder.
class ViewWindow : public QWidget {
 public:
  explicit ViewWindow(TPictavoView& view) : view_(view) {
    proc_.SetAttachedPictavo(&view);
    histogram_.SetAttachedPictavoProc(&proc_);
    histogram_.SetBounds(0, 0, kPanelWidth, 160);
    hsv_.SetBounds(0, 0, kPanelWidth, 180);
    gradient_.SetBounds(0, 0, kPanelWidth, 28);
    ruler_.SetBounds(0, 0, 900, kRulerHeight);
    Wire();
    Lay();
  }

 private:
  void Wire() {
    auto followImage = [this](TObject*) { histogram_.Update(); };
    view_.OnSelectionChange = followImage;
    view_.OnImageChange = followImage;
    view_.OnViewChange = [this](TObject*, int) { FollowView(); };
    hsv_.OnChange = [this](TObject*) {
      const TColor picked = TColor(hsv_.GetRed() | (hsv_.GetGreen() << 8) | (hsv_.GetBlue() << 16));
      gradient_.SetEndColor(picked);
      SetViewBackground(picked);
    };
    gradient_.OnChange = [this](TObject*) { SetViewBackground(gradient_.GetColor()); };
  }

  void Lay() {
    auto* left = new QVBoxLayout;
    left->setSpacing(0);
    auto* rulerHost = new qt::PictavoHostWidget(&ruler_);
    rulerHost->setFixedHeight(kRulerHeight);
    left->addWidget(rulerHost);
    left->addWidget(new qt::PictavoHostWidget(&view_), 1);
    auto* right = new QVBoxLayout;
    for (TWinControl* c : {static_cast<TWinControl*>(&histogram_),
                           static_cast<TWinControl*>(&hsv_),
                           static_cast<TWinControl*>(&gradient_)}) {
      auto* host = new qt::PictavoHostWidget(c);
      host->setFixedSize(c->GetWidth(), c->GetHeight());
      right->addWidget(host);
    }
    right->addStretch(1);
    auto* all = new QHBoxLayout(this);
    all->addLayout(left, 1);
    all->addLayout(right);
  }

  // The ruler counts bitmap pixels: its left edge is the bitmap column under
  // the view's left edge, and one unit is zoom / 100 screen pixels.
  void FollowView() {
    ruler_.SetDotPerUnit(view_.GetZoom() / 100.0);
    ruler_.SetViewPos(view_.XScr2Bmp(0));
    setWindowTitle(QString("Pictavo view - %1 %").arg(view_.GetZoom(), 0, 'f', 1));
  }

  void SetViewBackground(TColor c) {
    view_.SetBackGround(c);
    view_.Update();
  }

  TPictavoView& view_;
  TPictavoProc proc_;
  THistogramBox histogram_;
  THSVBox hsv_;
  TPVGradientBar gradient_;
  TRulerBox ruler_;
};

}  // namespace

QWidget* BuildViewWindow(TPictavoView& view) { return new ViewWindow(view); }
