#include "apps/viewer/status.h"

#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>

namespace pictavo::viewer {
namespace {

constexpr int kSwatchSize = 14;
constexpr int kProgressWidth = 160;
constexpr int kMessageMs = 5000;

}  // namespace

ViewerStatus::ViewerStatus(QStatusBar* bar)
    : bar_(bar),
      size_(new QLabel(bar)),
      zoom_(new QLabel(bar)),
      frame_(new QLabel(bar)),
      pixel_(new QLabel(bar)),
      swatch_(new QLabel(bar)),
      progress_(new QProgressBar(bar)) {
  swatch_->setFixedSize(kSwatchSize, kSwatchSize);
  swatch_->setFrameStyle(QFrame::Box);
  swatch_->hide();
  progress_->setRange(0, 100);
  progress_->setMaximumWidth(kProgressWidth);
  progress_->hide();
  frame_->hide();
  bar_->addPermanentWidget(progress_);
  bar_->addPermanentWidget(pixel_);
  bar_->addPermanentWidget(swatch_);
  bar_->addPermanentWidget(frame_);
  bar_->addPermanentWidget(zoom_);
  bar_->addPermanentWidget(size_);
}

void ViewerStatus::ShowImage(int width, int height, int bitsPerPixel) {
  size_->setText(QString("%1 × %2, %3 bits").arg(width).arg(height).arg(bitsPerPixel));
}

void ViewerStatus::ShowZoom(double percent) {
  zoom_->setText(QString("%1 %").arg(percent, 0, 'f', percent < 10 ? 1 : 0));
}

void ViewerStatus::ShowFrame(int index, int count) {
  frame_->setVisible(count > 1);
  frame_->setText(QString("Frame %1 of %2").arg(index + 1).arg(count));
}

void ViewerStatus::ShowPixel(int x, int y, int r, int g, int b) {
  pixel_->setText(QString("(%1, %2)  R %3 G %4 B %5").arg(x).arg(y).arg(r).arg(g).arg(b));
  swatch_->setStyleSheet(QString("background-color: rgb(%1, %2, %3)").arg(r).arg(g).arg(b));
  swatch_->show();
}

void ViewerStatus::ClearPixel() {
  pixel_->clear();
  swatch_->hide();
}

void ViewerStatus::SetProgress(int percent) {
  progress_->setRange(0, 100);
  progress_->setValue(percent);
  progress_->show();
  progress_->repaint();
}

void ViewerStatus::SetBusy(const QString& what) {
  progress_->setRange(0, 0);  // an indeterminate bar: the work reports no steps
  progress_->show();
  bar_->showMessage(what);
}

void ViewerStatus::Done() {
  progress_->hide();
  bar_->clearMessage();
}

void ViewerStatus::Message(const QString& text) {
  bar_->showMessage(text, kMessageMs);
}

}  // namespace pictavo::viewer
