// The menus of the viewer's main window.
#include <QActionGroup>
#include <QApplication>
#include <QKeySequence>
#include <QMenuBar>

#include "apps/viewer/main_window.h"
#include "apps/viewer/proc_menu.h"

namespace pictavo::viewer {
namespace {

constexpr double kZoomStep = 1.25;

struct ToolEntry {
  const char* caption;
  const char* key;
  TPVMouseInteract interact;
};

const ToolEntry kTools[] = {
    {"&Rectangle selection", "S", {miSelect}},
    {"&Ellipse selection", "E", {miSelectCircle}},
    {"&Polygon selection", "P", {miSelectPolygon}},
    {"&Magic wand", "W", {miSelectMagicWand}},
    {"&Zoom to rectangle", "Z", {miSelectZoom}},
    {"&Hand (zoom clicks, drag scrolls)", "H", {miZoom, miScroll}},
};

}  // namespace

void MainWindow::BuildMenus() {
  BuildFileMenu();
  BuildEditMenu();
  BuildViewMenu();
  BuildToolsMenu();
  QMenu* processing = menuBar()->addMenu("&Processing");
  BuildProcessingMenu(processing, [this](const TProcOp& op) { ApplyOperation(op); });
  processing->addSeparator();
  processing->addAction("Effects &preview...", QKeySequence("Ctrl+E"), this,
                        &MainWindow::PreviewEffects);
}

void MainWindow::BuildFileMenu() {
  QMenu* file = menuBar()->addMenu("&File");
  file->addAction("&Open...", QKeySequence::Open, this, &MainWindow::OpenByDialog);
  file->addAction("Save &as...", QKeySequence("Ctrl+Shift+S"), this, &MainWindow::SaveAs);
  file->addAction("Save &options preview...", QKeySequence("Ctrl+Shift+O"), this,
                  &MainWindow::PreviewSaveOptions);
  if (!options_.testSave.isEmpty())
    file->addAction("Save to &test file", QKeySequence("F12"), this, &MainWindow::SaveToTestFile);
  file->addSeparator();
  file->addAction("&Previous frame", QKeySequence(Qt::Key_PageUp), this, [this] { StepFrame(-1); });
  file->addAction("&Next frame", QKeySequence(Qt::Key_PageDown), this, [this] { StepFrame(1); });
  file->addSeparator();
  file->addAction("&Quit", QKeySequence::Quit, this, &QWidget::close);
}

void MainWindow::BuildEditMenu() {
  QMenu* edit = menuBar()->addMenu("&Edit");
  undo_ = edit->addAction("&Undo", QKeySequence::Undo, this, [this] {
    pictavo_.Undo();
    UpdateStatus();
  });
  undo_->setEnabled(false);
  edit->addSeparator();
  edit->addAction("&Copy", QKeySequence::Copy, this, [this] {
    if (pictavo_.HasSelection())
      pictavo_.SelCopyToClip();
    else
      pictavo_.CopyToClipboard();
  });
  edit->addAction("&Paste", QKeySequence::Paste, this, [this] { pictavo_.PasteFromClipboard(); });
  edit->addAction("C&lear selection", QKeySequence::Delete, this, [this] { pictavo_.ClearSel(); });
  edit->addSeparator();
  edit->addAction("Select &all", QKeySequence::SelectAll, this,
                  [this] { pictavo_.Proc().SelectAll(); });
  edit->addAction("&Deselect", QKeySequence("Ctrl+D"), this, [this] { pictavo_.DeSelect(); });
}

void MainWindow::BuildViewMenu() {
  QMenu* view = menuBar()->addMenu("&View");
  view->addAction("&Fit", QKeySequence("F"), this, [this] { pictavo_.Fit(); });
  view->addAction("&100 %", QKeySequence("Ctrl+0"), this, [this] { pictavo_.SetZoom(100); });
  view->addAction("Zoom &in", QKeySequence::ZoomIn, this, [this] { ZoomBy(kZoomStep); });
  view->addAction("Zoom &out", QKeySequence::ZoomOut, this, [this] { ZoomBy(1 / kZoomStep); });
  view->addAction("Zoom to &selection", this, [this] { pictavo_.ZoomSelection(); });
  view->addSeparator();
  QAction* grid =
      view->addAction("Pixel &grid", this, [this](bool on) { pictavo_.SetDisplayGrid(on); });
  grid->setCheckable(true);
}

void MainWindow::BuildToolsMenu() {
  QMenu* tools = menuBar()->addMenu("&Tools");
  auto* group = new QActionGroup(this);
  for (const ToolEntry& tool : kTools) {
    QAction* action =
        tools->addAction(tool.caption, QKeySequence(tool.key), this,
                         [this, interact = tool.interact] { pictavo_.SetMouseInteract(interact); });
    action->setCheckable(true);
    action->setChecked(tool.interact == pictavo_.GetMouseInteract());
    group->addAction(action);
  }
  tools->addSeparator();
  tools->addAction("Wand tolerance &+", QKeySequence("]"), this, [this] {
    pictavo_.MagicWandTolerance = std::min(255, pictavo_.MagicWandTolerance + 5);
  });
  tools->addAction("Wand tolerance &-", QKeySequence("["), this, [this] {
    pictavo_.MagicWandTolerance = std::max(0, pictavo_.MagicWandTolerance - 5);
  });
}

}  // namespace pictavo::viewer
