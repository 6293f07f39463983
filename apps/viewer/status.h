// The viewer's status bar: image size and depth, zoom, the frame of a
// multi-image file, the pixel under the cursor with its colour (as numbers
// and as a swatch), and a progress bar shown while long work runs.
#pragma once

#include <QString>

class QLabel;
class QProgressBar;
class QStatusBar;

namespace pictavo::viewer {

class ViewerStatus {
 public:
  explicit ViewerStatus(QStatusBar* bar);

  void ShowImage(int width, int height, int bitsPerPixel);
  void ShowZoom(double percent);
  // "Frame 2 of 5"; hidden for files with one image.
  void ShowFrame(int index, int count);
  // The pixel under the cursor and its colour (r, g, b); outside the image
  // the label is cleared.
  void ShowPixel(int x, int y, int r, int g, int b);
  void ClearPixel();
  // 0..100 while work runs; Done hides the bar again.  The bar repaints at
  // once, because the work runs on the thread that would paint it.
  void SetProgress(int percent);
  void SetBusy(const QString& what);
  void Done();
  void Message(const QString& text);

 private:
  QStatusBar* bar_;
  QLabel* size_;
  QLabel* zoom_;
  QLabel* frame_;
  QLabel* pixel_;
  QLabel* swatch_;
  QProgressBar* progress_;
};

}  // namespace pictavo::viewer
