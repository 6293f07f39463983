// The companion controls beside the view in pictavo-viewdemo: a histogram
// that follows the image and the selection, an HSV box and a gradient bar
// that pick the view's background colour, and a ruler over the view that
// follows its zoom and scrolling.
#pragma once

#include <QWidget>

namespace pictavo {
class TPictavoView;
}

// Builds the window: the ruler and the view on the left, the panel on the
// right.  The returned widget owns the controls and their hosts.
QWidget* BuildViewWindow(pictavo::TPictavoView& view);
