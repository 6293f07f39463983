// pictavo-viewer: a desktop image viewer and editor built on TPictavo.
//
//   pictavo-viewer [--startup-time] [--test-save FILE] [IMAGE]
//
// --startup-time prints "painted after N ms" (since the process started)
// once IMAGE is on the screen.  --test-save FILE adds File > Save to test
// file (F12), which saves to FILE and prints where the image lies in the
// window; the desktop test drives the viewer with it.
#include <QApplication>
#include <QStringList>
#include <cstdio>

#include "apps/viewer/coders.h"
#include "apps/viewer/main_window.h"
#include "hosts/qt/qt_bridge.h"

namespace {

constexpr int kUsageError = 2;

bool ParseOptions(const QStringList& args, pictavo::viewer::ViewerOptions& options) {
  for (int i = 1; i < args.size(); ++i) {
    const QString& arg = args[i];
    if (arg == "--startup-time") {
      options.startupTime = true;
    } else if (arg == "--test-save" && i + 1 < args.size()) {
      options.testSave = args[++i];
    } else if (arg.startsWith("--") || !options.file.isEmpty()) {
      return false;
    } else {
      options.file = arg;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("pictavo-viewer");
  pictavo::viewer::ViewerOptions options;
  if (!ParseOptions(QApplication::arguments(), options)) {
    std::fprintf(stderr, "usage: pictavo-viewer [--startup-time] [--test-save FILE] [IMAGE]\n");
    return kUsageError;
  }
  pictavo::viewer::InstallLibraryCoders();
  pictavo::qt::InstallQtBridge();
  int result = 0;
  {
    pictavo::viewer::MainWindow window(options);
    window.show();
    result = app.exec();
  }
  pictavo::qt::UninstallQtBridge();
  return result;
}
