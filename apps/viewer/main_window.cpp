#include "apps/viewer/main_window.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "apps/viewer/proc_menu.h"
#include "apps/viewer/startup_clock.h"
#include "hosts/qt/host_widget.h"

namespace pictavo::viewer {
namespace {

constexpr int kInitialWidth = 1000;
constexpr int kInitialHeight = 750;
const char* const kAppTitle = "Pictavo viewer";
// Zoomed views are smoothed with this filter once the image is on the screen.
constexpr TResampleFilter kZoomFilter = rfTriangle;

// Shows a message once the current event has been handled (the caller may be
// a synchronised step of a thread, which must not wait for a modal box).
void WarnLater(QWidget* parent, const QString& text) {
  QTimer::singleShot(0, parent, [parent, text] { QMessageBox::warning(parent, kAppTitle, text); });
}

}  // namespace

MainWindow::MainWindow(const ViewerOptions& options) : options_(options) {
  setWindowTitle(kAppTitle);
  setAcceptDrops(true);
  pictavo_.SetBounds(0, 0, kInitialWidth, kInitialHeight);
  pictavo_.SetScrollBars(ssBoth);
  pictavo_.SetCenter(true);
  pictavo_.SetBackgroundStyle(pvbsCropShadow);
  pictavo_.SetZoomFilter(kZoomFilter);
  pictavo_.SetDelayZoomFilter(true);
  pictavo_.SetDlgCode(DLGC_WANTARROWS);
  pictavo_.SetMouseInteract({miSelect});
  pictavo_.SetOnProgress([this](TObject*, int percent) { status_->SetProgress(percent); });
  pictavo_.OnMouseMove = [this](TObject*, TShiftState, int x, int y) { ShowCursorPixel(x, y); };
  pictavo_.OnViewChange = [this](TObject*, int) { UpdateStatus(); };
  pictavo_.OnImageChange = [this](TObject*) { UpdateStatus(); };

  host_ = new qt::PictavoHostWidget(&pictavo_, this);
  host_->Surface()->installEventFilter(this);
  setCentralWidget(host_);
  status_ = std::make_unique<ViewerStatus>(statusBar());
  BuildMenus();
  resize(kInitialWidth, kInitialHeight);
  if (!options_.file.isEmpty()) OpenFile(options_.file);
}

MainWindow::~MainWindow() {
  ++load_generation_;  // a load that ends now delivers nothing
  loader_.reset();
  // The host refers to the view, which goes before the child widgets would.
  delete host_;
  host_ = nullptr;
}

void MainWindow::OpenFile(const QString& file, int frame) {
  const int generation = ++load_generation_;
  loader_.reset();
  status_->SetBusy(QString("Loading %1...").arg(QFileInfo(file).fileName()));
  loader_ = std::make_unique<ViewerLoadThread>(
      file.toStdString(), FramePickFor(file.toStdString(), frame),
      [this, generation, file, frame](ViewerLoadThread& thread) {
        LoadFinished(thread, generation, file, frame);
      });
  loader_->Start();
}

void MainWindow::LoadFinished(ViewerLoadThread& thread, int generation, const QString& file,
                              int frame) {
  if (generation != load_generation_) return;
  status_->Done();
  // The finished thread is deleted once its last step has returned.
  QTimer::singleShot(0, this, [this, generation] {
    if (generation == load_generation_) loader_.reset();
  });
  if (!thread.Succeeded()) {
    WarnLater(this, QString::fromStdString(thread.FailureText()));
    return;
  }
  pictavo_.GetIOParams().Assign(thread.PrivateIO().IOParams());
  pictavo_.Assign(&thread.PrivateBitmap());
  pictavo_.ClearUndo();
  file_ = file;
  frame_ = frame;
  frame_count_ = thread.FrameCount();
  // A new image is shown first without the zoom filter (a whole photograph
  // takes a few hundred milliseconds to filter); the first paint turns it
  // back on, which repaints the view smoothed.
  pictavo_.SetZoomFilter(rfNone);
  filter_after_paint_ = true;
  const TBitmap& bitmap = pictavo_.Bitmap();
  const bool larger =
      bitmap.GetWidth() > pictavo_.ClientWidth() || bitmap.GetHeight() > pictavo_.ClientHeight();
  if (larger)
    pictavo_.Fit();
  else
    pictavo_.SetZoom(100);
  image_shown_ = true;
  UpdateStatus();
  UpdateTitle();
  if (!options_.testSave.isEmpty()) {
    std::printf("loaded %d x %d\n", bitmap.GetWidth(), bitmap.GetHeight());
    std::fflush(stdout);
  }
}

void MainWindow::StepFrame(int delta) {
  if (frame_count_ <= 1 || file_.isEmpty()) return;
  const int next = std::clamp(frame_ + delta, 0, frame_count_ - 1);
  if (next != frame_) OpenFile(file_, next);
}

void MainWindow::OpenByDialog() {
  const std::string dir = file_.isEmpty() ? "" : QFileInfo(file_).absolutePath().toStdString();
  const std::string name = pictavo_.ExecuteOpenDialog(dir, "", false);
  if (!name.empty()) OpenFile(QString::fromStdString(name));
}

void MainWindow::SaveAs() {
  if (pictavo_.Bitmap().Empty()) return;
  const std::string dir = file_.isEmpty() ? "" : QFileInfo(file_).absolutePath().toStdString();
  const std::string name = pictavo_.ExecuteSaveDialog(dir, "", false);
  if (!name.empty()) Save(QString::fromStdString(name));
}

void MainWindow::Save(const QString& file) {
  QString failure;
  try {
    pictavo_.SaveToFile(file.toStdString());
    if (pictavo_.GetAborting()) failure = QString::fromStdString(pictavo_.IO().LastError().Message);
  } catch (const std::exception& e) {
    failure = e.what();
  }
  status_->Done();
  if (failure.isNull()) {
    status_->Message(QString("Saved %1").arg(file));
    return;
  }
  WarnLater(this, QString("Cannot save \"%1\": %2").arg(file, failure));
}

// Saves under a temporary name with the same extension (the format follows
// the extension) and renames, so that the test never reads half a file;
// then tells where the image lies in the window.
void MainWindow::SaveToTestFile() {
  const QFileInfo target(options_.testSave);
  const QString partial = target.absolutePath() + "/.partial-" + target.fileName();
  Save(partial);
  if (pictavo_.GetAborting() || std::rename(partial.toLocal8Bit().constData(),
                                            target.absoluteFilePath().toLocal8Bit().constData()))
    return;
  const QPoint topLeft =
      host_->Surface()->mapTo(this, QPoint(pictavo_.OffsetX(), pictavo_.OffsetY()));
  std::printf("saved %s\nimage-area %d %d %d %d zoom %.1f\n",
              target.absoluteFilePath().toLocal8Bit().constData(), topLeft.x(), topLeft.y(),
              pictavo_.ZoomedWidth(), pictavo_.ZoomedHeight(), pictavo_.GetZoom());
  std::fflush(stdout);
}

void MainWindow::ApplyOperation(const TProcOp& op) {
  TBitmap& bitmap = pictavo_.Bitmap();
  if (bitmap.Empty()) return;
  TOpValues values;
  if (!op.params.empty()) {
    ProcParamsDialog dialog(op, bitmap.GetWidth(), bitmap.GetHeight(), this);
    if (dialog.exec() != QDialog::Accepted) return;
    values = dialog.Values();
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  std::string message;
  try {
    message = ApplyProcOp(pictavo_, op, values);
  } catch (const std::exception& e) {
    message = e.what();
  }
  QApplication::restoreOverrideCursor();
  status_->Done();
  UpdateStatus();
  undo_->setEnabled(pictavo_.GetCanUndo());
  if (!message.empty()) QMessageBox::information(this, kAppTitle, QString::fromStdString(message));
}

void MainWindow::PreviewEffects() {
  const TBitmap& bitmap = pictavo_.Bitmap();
  if (bitmap.Empty()) return;
  if (bitmap.GetPixelFormat() != pf24bit) {
    QMessageBox::information(this, kAppTitle,
                             "The effects preview works on colour images; convert this one to "
                             "24 bits first (Processing, Colour, To 24 bits).");
    return;
  }
  if (pictavo_.DoPreviews(TPreviewEffectsSet{peAll})) {
    status_->Done();
    UpdateStatus();
    undo_->setEnabled(pictavo_.GetCanUndo());
  }
}

// Every format's saving parameters with a preview of the saved picture and
// its size; OK keeps them for the next save.
void MainWindow::PreviewSaveOptions() {
  if (pictavo_.Bitmap().Empty()) return;
  if (pictavo_.DoIOPreviews(TPreviewParams{ppALL}))
    status_->Message("The saving options are kept for the next save");
}

void MainWindow::ZoomBy(double factor) {
  pictavo_.SetZoom(pictavo_.GetZoom() * factor);
}

void MainWindow::ShowCursorPixel(int x, int y) {
  const TBitmap& bitmap = pictavo_.Bitmap();
  const int bx = pictavo_.XScr2Bmp(x), by = pictavo_.YScr2Bmp(y);
  if (bx < 0 || by < 0 || bx >= bitmap.GetWidth() || by >= bitmap.GetHeight()) {
    status_->ClearPixel();
    return;
  }
  const TColor c = bitmap.GetPixel(bx, by);
  status_->ShowPixel(bx, by, GetRValue(c), GetGValue(c), GetBValue(c));
}

void MainWindow::UpdateStatus() {
  if (!status_) return;
  const TBitmap& bitmap = pictavo_.Bitmap();
  status_->ShowImage(bitmap.GetWidth(), bitmap.GetHeight(),
                     StorageBitCount(bitmap.GetPixelFormat()));
  status_->ShowZoom(pictavo_.GetZoom());
  status_->ShowFrame(frame_, frame_count_);
  if (undo_) undo_->setEnabled(pictavo_.GetCanUndo());
}

void MainWindow::UpdateTitle() {
  QString title = QFileInfo(file_).fileName();
  if (frame_count_ > 1) title += QString(" [%1/%2]").arg(frame_ + 1).arg(frame_count_);
  setWindowTitle(title + " — " + kAppTitle);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.first().isLocalFile()) return;
  OpenFile(urls.first().toLocalFile());
  event->acceptProposedAction();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Paint && host_ && watched == host_->Surface() && image_shown_)
    AfterImagePaint();
  return QMainWindow::eventFilter(watched, event);
}

// Runs after the paint that is being handled: the start-up figure is taken
// once the first paint with the image is done, which is when the image
// reaches the screen.
void MainWindow::AfterImagePaint() {
  if (filter_after_paint_) {
    filter_after_paint_ = false;
    QTimer::singleShot(0, this, [this] { pictavo_.SetZoomFilter(kZoomFilter); });
  }
  if (options_.startupTime && !startup_reported_) {
    startup_reported_ = true;
    QTimer::singleShot(0, this, &MainWindow::ReportStartup);
  }
}

void MainWindow::ReportStartup() {
  std::printf("painted after %lld ms\n", static_cast<long long>(MillisecondsSinceProcessStart()));
  std::fflush(stdout);
}

}  // namespace pictavo::viewer
