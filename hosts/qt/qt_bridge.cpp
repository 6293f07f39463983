#include "hosts/qt/qt_bridge.h"

#include <QApplication>
#include <QBitmap>
#include <QBuffer>
#include <QClipboard>
#include <QDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <thread>

#include "hosts/qt/dialog_forms.h"
#include "hosts/qt/host_widget.h"
#include "platform/app.h"
#include "platform/clipboard.h"
#include "platform/desktop.h"
#include "platform/forms.h"
#include "platform/screen.h"

namespace pictavo::qt {

namespace {

constexpr size_t kBmpFileHeader = 14;
constexpr size_t kInfoHeader = 40;

// Runs the application's queue from the Qt event loop.
class Pump : public QObject {
 public:
  Pump() {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { Run(); });
  }
  // From any thread: run soon on the GUI thread.
  void Wake() {
    QMetaObject::invokeMethod(
        this, [this] { Run(); }, Qt::QueuedConnection);
  }
  void Run() {
    Application().ProcessMessages();
    Schedule();
  }
  void Schedule() {
    TApplication& app = Application();
    if (app.PendingCount() > 0) {
      timer_.start(0);
      return;
    }
    int64_t due = app.NextTimerDue();
    if (due == INT64_MAX) {
      timer_.stop();
      return;
    }
    int64_t wait = std::clamp<int64_t>(due - app.NowMs(), 0, INT_MAX);
    timer_.start(static_cast<int>(wait));
  }

 private:
  QTimer timer_;
};

Pump* g_pump = nullptr;

std::vector<PictavoHostWidget*>& Hosts() {
  static std::vector<PictavoHostWidget*> hosts;
  return hosts;
}

// The system clipboard through QClipboard.
class QtClipboardBackend : public TClipboardBackend {
 public:
  bool HasDIB() const override {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    return mime && mime->hasImage();
  }
  HGLOBAL GetDIB() const override {
    QImage image = QGuiApplication::clipboard()->image();
    if (image.isNull()) return nullptr;
    std::vector<uint8_t> dib = DIBFromImage(image);
    if (dib.empty()) return nullptr;
    HGLOBAL block = GlobalAlloc(dib.size());
    std::memcpy(block->Lock(), dib.data(), dib.size());
    return block;
  }
  void SetDIB(const uint8_t* data, size_t size) override {
    QImage image = ImageFromDIB(data, size);
    if (!image.isNull()) QGuiApplication::clipboard()->setImage(image);
  }
  void Clear() override { QGuiApplication::clipboard()->clear(); }
};

// A form as a modal dialog: the form's host fills the dialog; a result set
// by the form closes it; closing the dialog cancels the form.
TModalResult ShowFormDialog(TForm& form) {
  QDialog dialog(QApplication::activeWindow());
  dialog.setWindowTitle(QString::fromStdString(form.GetCaption()));
  auto* layout = new QVBoxLayout(&dialog);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* host = new PictavoHostWidget(&form, &dialog);
  layout->addWidget(host);
  dialog.resize(std::max(form.GetWidth(), 1), std::max(form.GetHeight(), 1));
  form.OnModalEnd = [&dialog](TForm* f) { dialog.done(f->GetModalResult()); };
  if (form.GetModalResult() == mrNone) dialog.exec();
  form.OnModalEnd = nullptr;
  return form.GetModalResult() != mrNone ? form.GetModalResult() : mrCancel;
}

TModalResult ShowMessageBox(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons) {
  static const std::pair<TMsgDlgBtn, std::pair<QMessageBox::StandardButton, TModalResult>> kMap[] =
      {{mbYes, {QMessageBox::Yes, mrYes}},
       {mbNo, {QMessageBox::No, mrNo}},
       {mbOK, {QMessageBox::Ok, mrOk}},
       {mbCancel, {QMessageBox::Cancel, mrCancel}},
       {mbAbort, {QMessageBox::Abort, mrAbort}},
       {mbRetry, {QMessageBox::Retry, mrRetry}},
       {mbIgnore, {QMessageBox::Ignore, mrIgnore}},
       {mbAll, {QMessageBox::YesToAll, mrAll}}};
  QMessageBox::StandardButtons qtButtons;
  for (const auto& [b, m] : kMap)
    if (buttons.Contains(b)) qtButtons |= m.first;
  if (!qtButtons) qtButtons = QMessageBox::Ok;
  QMessageBox::Icon icon = type == mtWarning        ? QMessageBox::Warning
                           : type == mtError        ? QMessageBox::Critical
                           : type == mtInformation  ? QMessageBox::Information
                           : type == mtConfirmation ? QMessageBox::Question
                                                    : QMessageBox::NoIcon;
  QMessageBox box(icon, QApplication::applicationName(), QString::fromStdString(text), qtButtons,
                  QApplication::activeWindow());
  int answer = box.exec();
  for (const auto& [b, m] : kMap)
    if (answer == m.first) return m.second;
  return mrCancel;
}

Qt::CursorShape ShapeOf(TCursor cursor) {
  switch (cursor) {
    case crNone:
      return Qt::BlankCursor;
    case crCross:
      return Qt::CrossCursor;
    case crIBeam:
      return Qt::IBeamCursor;
    case crSizeNESW:
      return Qt::SizeBDiagCursor;
    case crSizeNS:
      return Qt::SizeVerCursor;
    case crSizeNWSE:
      return Qt::SizeFDiagCursor;
    case crSizeWE:
      return Qt::SizeHorCursor;
    case crUpArrow:
      return Qt::UpArrowCursor;
    case crHourGlass:
      return Qt::WaitCursor;
    case crDrag:
      return Qt::DragCopyCursor;
    case crNoDrop:
    case crNo:
      return Qt::ForbiddenCursor;
    case crHSplit:
      return Qt::SplitHCursor;
    case crVSplit:
      return Qt::SplitVCursor;
    case crAppStart:
      return Qt::BusyCursor;
    case crHelp:
      return Qt::WhatsThisCursor;
    case crHandPoint:
      return Qt::PointingHandCursor;
    case crSizeAll:
      return Qt::SizeAllCursor;
    default:
      return Qt::ArrowCursor;
  }
}

}  // namespace

void InstallQtBridge() {
  if (g_pump) return;
  g_pump = new Pump;
  QObject::connect(qApp, &QObject::destroyed, [] { g_pump = nullptr; });
  g_pump->setParent(qApp);
  TApplication& app = Application();
  app.UseManualClock(false);
  app.SetMainThread(std::this_thread::get_id());
  app.SetWakeHandler([] {
    if (g_pump) g_pump->Wake();
  });
  SetModalHandler(ShowFormDialog);
  InstallQtDialogHost();
  SetMessageHandler(ShowMessageBox);
  SetClipboardBackend(std::make_unique<QtClipboardBackend>());
  Screen().OnCursorChange = [] {
    for (PictavoHostWidget* h : Hosts()) h->ApplyCursor();
  };
  g_pump->Schedule();
}

void UninstallQtBridge() {
  if (!g_pump) return;
  Application().SetWakeHandler(nullptr);
  SetModalHandler(nullptr);
  UninstallQtDialogHost();
  SetMessageHandler(nullptr);
  SetClipboardBackend(nullptr);
  Screen().OnCursorChange = nullptr;
  delete g_pump;
  g_pump = nullptr;
}

void PumpApplication() {
  if (g_pump)
    g_pump->Run();
  else
    Application().ProcessMessages();
}

QCursor QtCursor(TCursor cursor) {
  if (cursor <= 0 || !Screen().HasCursor(cursor)) return QCursor(ShapeOf(cursor));
  static std::map<const TBitmap*, QCursor> cache;
  const TCursorImage& image = Screen().Cursors(cursor);
  if (image.Empty()) return QCursor(Qt::ArrowCursor);
  auto it = cache.find(image.color.get());
  if (it != cache.end()) return it->second;
  int w = image.color->GetWidth(), h = image.color->GetHeight();
  QImage argb(w, h, QImage::Format_ARGB32);
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<QRgb*>(argb.scanLine(y));
    for (int x = 0; x < w; ++x) {
      TColor c = image.color->GetPixel(x, y);
      bool transparent = image.mask && image.mask->GetPixel(x, y) != clBlack;
      row[x] = transparent ? qRgba(0, 0, 0, 0) : qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
    }
  }
  QCursor qc(QPixmap::fromImage(argb), image.hotspot.x, image.hotspot.y);
  cache.emplace(image.color.get(), qc);
  return qc;
}

void RegisterHost(PictavoHostWidget* host) {
  Hosts().push_back(host);
}

void UnregisterHost(PictavoHostWidget* host) {
  auto& hosts = Hosts();
  hosts.erase(std::remove(hosts.begin(), hosts.end(), host), hosts.end());
}

QImage ImageFromDIB(const uint8_t* data, size_t size) {
  if (!data || size < kInfoHeader) return QImage();
  uint32_t headerSize, colorsUsed, compression;
  uint16_t bitCount;
  std::memcpy(&headerSize, data, 4);
  std::memcpy(&bitCount, data + 14, 2);
  std::memcpy(&compression, data + 16, 4);
  std::memcpy(&colorsUsed, data + 32, 4);
  if (headerSize < kInfoHeader || headerSize > size) return QImage();
  size_t colors = colorsUsed ? colorsUsed : (bitCount <= 8 ? size_t(1) << bitCount : 0);
  size_t masks = (compression == 3 && headerSize == kInfoHeader) ? 12 : 0;
  size_t offset = kBmpFileHeader + headerSize + masks + colors * 4;
  QByteArray file(static_cast<qsizetype>(kBmpFileHeader), '\0');
  file[0] = 'B';
  file[1] = 'M';
  uint32_t fileSize = static_cast<uint32_t>(kBmpFileHeader + size),
           bits = static_cast<uint32_t>(offset);
  std::memcpy(file.data() + 2, &fileSize, 4);
  std::memcpy(file.data() + 10, &bits, 4);
  file.append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  QImage image;
  image.loadFromData(file, "BMP");
  return image;
}

std::vector<uint8_t> DIBFromImage(const QImage& image) {
  QByteArray file;
  QBuffer buffer(&file);
  buffer.open(QIODevice::WriteOnly);
  if (!image.convertToFormat(QImage::Format_RGB888).save(&buffer, "BMP")) return {};
  if (file.size() <= static_cast<qsizetype>(kBmpFileHeader)) return {};
  return std::vector<uint8_t>(file.begin() + kBmpFileHeader, file.end());
}

}  // namespace pictavo::qt
