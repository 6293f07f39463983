// The viewer's main window: a TPictavo in the Qt host with the File, Edit,
// View, Tools and Processing menus, a status bar, drag and drop, background
// loading and frame navigation.  The menus are built in
// apps/viewer/main_window_menus.cpp.
#pragma once

#include <QMainWindow>
#include <QString>
#include <memory>

#include "apps/viewer/loader.h"
#include "apps/viewer/proc_table.h"
#include "apps/viewer/status.h"
#include "view/pictavo.h"

class QAction;

namespace pictavo::qt {
class PictavoHostWidget;
}

namespace pictavo::viewer {

struct ViewerOptions {
  QString file;
  // Print "painted after N ms" once the file given on the command line is
  // on the screen.
  bool startupTime = false;
  // File > Save to test file (F12) saves here, then prints where the image
  // lies in the window (for the desktop test).
  QString testSave;
};

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit MainWindow(const ViewerOptions& options);
  ~MainWindow() override;

  // Loads in the background; `frame` picks the image of a GIF or TIFF.
  void OpenFile(const QString& file, int frame = 0);
  TPictavo& Pictavo() { return pictavo_; }

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // main_window_menus.cpp
  void BuildMenus();
  void BuildFileMenu();
  void BuildEditMenu();
  void BuildViewMenu();
  void BuildToolsMenu();

  void OpenByDialog();
  void SaveAs();
  void SaveToTestFile();
  void StepFrame(int delta);
  void LoadFinished(ViewerLoadThread& thread, int generation, const QString& file, int frame);
  void Save(const QString& file);
  void ApplyOperation(const TProcOp& op);
  // The processing preview dialog over the selection (or the whole image).
  void PreviewEffects();
  void PreviewSaveOptions();
  void ShowCursorPixel(int x, int y);
  void UpdateStatus();
  void UpdateTitle();
  void AfterImagePaint();
  void ReportStartup();
  void ZoomBy(double factor);

  ViewerOptions options_;
  TPictavo pictavo_;
  qt::PictavoHostWidget* host_ = nullptr;
  std::unique_ptr<ViewerStatus> status_;
  std::unique_ptr<ViewerLoadThread> loader_;
  int load_generation_ = 0;
  QString file_;
  int frame_ = 0;
  int frame_count_ = 1;
  bool image_shown_ = false;
  bool startup_reported_ = false;
  bool filter_after_paint_ = false;
  QAction* undo_ = nullptr;
};

}  // namespace pictavo::viewer
