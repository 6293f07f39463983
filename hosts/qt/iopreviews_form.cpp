#include "hosts/qt/iopreviews_form.h"

#include <QCheckBox>
#include <QFont>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabBar>
#include <QVBoxLayout>

#include "core/conversions.h"
#include "hosts/qt/field_editors.h"
#include "hosts/qt/form_buttons.h"
#include "hosts/qt/qt_convert.h"

namespace pictavo::qt {
namespace {

// A picture as the form shows it: 24-bit, at most kPictureSide on its
// longer side.  Results of other depths (a 1-bit BMP) are converted on a
// copy.
QPixmap PixmapOf(const TBitmap& bitmap) {
  QImage image;
  if (bitmap.GetPixelFormat() == pf24bit) {
    image = ImageOf(bitmap);
  } else if (bitmap.GetWidth() > 0 && bitmap.GetHeight() > 0) {
    TBitmap copy;
    PVCopyBitmap(bitmap, copy);
    copy.SetPixelFormat(pf24bit);
    image = ImageOf(copy);
  }
  if (image.isNull()) return QPixmap();
  const int side = IOPreviewsForm::kPictureSide;
  if (image.width() > side || image.height() > side)
    image = image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  return QPixmap::fromImage(image);
}

QLabel* PictureBox(QWidget* parent, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setMinimumSize(IOPreviewsForm::kPictureSide, IOPreviewsForm::kPictureSide);
  label->setAlignment(Qt::AlignCenter);
  label->setFrameShape(QFrame::StyledPanel);
  return label;
}

}  // namespace

IOPreviewsForm::IOPreviewsForm(TfIOPreviews& model, QWidget* parent)
    : QDialog(parent), model_(model) {
  setObjectName("pictavoIOPreviewsDialog");
  const TPVIOPreviewsCaptions& c = model_.Captions();
  setWindowTitle(Q(c.Form));
  ApplyFont();

  tabs_ = new QTabBar(this);
  tabs_->setObjectName("pages");
  for (const std::string& page : c.Pages) tabs_->addTab(Q(page));
  tabs_->setCurrentIndex(model_.ActivePage());
  connect(tabs_, &QTabBar::currentChanged, this, &IOPreviewsForm::PageChosen);

  params_box_ = new QGroupBox(this);
  params_box_->setObjectName("paramsBox");
  params_layout_ = new QFormLayout(params_box_);

  auto* middle = new QHBoxLayout;
  middle->addWidget(BuildPictures(), 1);
  middle->addWidget(params_box_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addLayout(middle, 1);
  layout->addWidget(BuildButtons());
  BuildEditors();
  Refresh();
}

void IOPreviewsForm::ApplyFont() {
  const TFont& font = model_.GetFont();
  if (font.GetName().empty()) return;
  QFont qfont(Q(font.GetName()));
  if (font.GetSize() > 0) qfont.setPointSize(font.GetSize());
  qfont.setBold(font.HasStyle(fsBold));
  qfont.setItalic(font.HasStyle(fsItalic));
  setFont(qfont);
}

QWidget* IOPreviewsForm::BuildPictures() {
  const TPVIOPreviewsCaptions& c = model_.Captions();
  auto* box = new QWidget(this);
  auto* grid = new QHBoxLayout(box);
  auto column = [&](const std::string& caption, QLabel*& picture, const char* name) {
    auto* col = new QVBoxLayout;
    col->addWidget(new QLabel(Q(caption), box));
    picture = PictureBox(box, name);
    col->addWidget(picture, 1);
    grid->addLayout(col);
  };
  column(c.Source, source_, "sourcePicture");
  column(c.Result, result_, "resultPicture");
  return box;
}

QWidget* IOPreviewsForm::BuildButtons() {
  const TPVIOPreviewsCaptions& c = model_.Captions();
  auto* box = new QWidget(this);
  auto* row = new QHBoxLayout(box);
  original_size_ = new QLabel(box);
  original_size_->setObjectName("originalSize");
  compressed_size_ = new QLabel(box);
  compressed_size_->setObjectName("compressedSize");
  auto* sizes = new QVBoxLayout;
  sizes->addWidget(original_size_);
  sizes->addWidget(compressed_size_);
  lock_ = new QCheckBox(Q(c.LockPreview), box);
  lock_->setObjectName("lockCheck");
  connect(lock_, &QCheckBox::toggled, this, [this](bool on) {
    model_.SetLockPreview(on);
    Refresh();
  });
  preview_ = new QPushButton(Q(c.Preview), box);
  preview_->setObjectName("previewButton");
  connect(preview_, &QPushButton::clicked, this, [this] {
    model_.Preview();
    Refresh();
  });
  const TFormButtons buttons = MakeOkCancel(this, box, Q(c.Ok), Q(c.Cancel));
  connect(buttons.ok, &QPushButton::clicked, this, &QDialog::accept);
  row->addLayout(sizes);
  row->addStretch(1);
  row->addWidget(lock_);
  row->addWidget(preview_);
  row->addWidget(buttons.ok);
  row->addWidget(buttons.cancel);
  return box;
}

void IOPreviewsForm::BuildEditors() {
  while (params_layout_->rowCount() > 0) params_layout_->removeRow(0);
  editors_.clear();
  for (const TPVSaveField& f : model_.Fields()) {
    const std::string name = f.Name;
    QWidget* widget = MakeFieldEditor(
        f, params_box_, [this, name](int32_t v) { WriteField(name, v); },
        [this, name] { PickColor(name); });
    params_layout_->addRow(Q(f.Caption(model_.GetLanguage())), widget);
    editors_.push_back({name, widget});
  }
  params_box_->setVisible(!editors_.empty());
}

void IOPreviewsForm::RefreshEditors() {
  for (const Editor& e : editors_)
    ShowFieldValue(e.widget, model_.GetFieldValue(e.field), model_.FieldEnabled(e.field));
}

void IOPreviewsForm::Refresh() {
  {
    const QSignalBlocker block(lock_);
    lock_->setChecked(model_.GetLockPreview());
  }
  preview_->setEnabled(model_.PreviewEnabled());
  RefreshEditors();
  ShowPictures();
  ShowSizes();
}

void IOPreviewsForm::ShowPictures() {
  source_->setPixmap(PixmapOf(model_.SourceBitmap()));
  const TPVIOPreviewResult& r = model_.Result();
  if (r.Valid())
    result_->setPixmap(PixmapOf(*r.Bitmap));
  else
    result_->clear();
}

void IOPreviewsForm::ShowSizes() {
  const TPVIOPreviewsCaptions& c = model_.Captions();
  original_size_->setText(Q(c.OriginalSize) + QStringLiteral(": ") +
                          QString::number(model_.OriginalSize()));
  const TPVIOPreviewResult& r = model_.Result();
  if (r.Valid())
    compressed_size_->setText(Q(c.CompressedSize) + QStringLiteral(": ") +
                              QString::number(r.EncodedSize));
  else
    compressed_size_->setText(Q(r.Error.Message));
  // Greyed while the shown result is older than the fields.
  compressed_size_->setEnabled(model_.ResultCurrent());
}

void IOPreviewsForm::PageChosen(int index) {
  if (!model_.SelectPage(index)) return;
  BuildEditors();
  Refresh();
}

void IOPreviewsForm::WriteField(const std::string& field, int32_t value) {
  model_.SetFieldValue(field, value);
  Refresh();
}

void IOPreviewsForm::PickColor(const std::string& field) {
  int32_t chosen = 0;
  if (PickFieldColor(this, model_.GetFieldValue(field), chosen)) WriteField(field, chosen);
}

bool ShowIOPreviewsDialog(TPVDialogModel& model, QWidget* parent) {
  auto* previews = dynamic_cast<TfIOPreviews*>(&model);
  if (!previews) return false;
  IOPreviewsForm form(*previews, parent);
  return form.exec() == QDialog::Accepted;
}

}  // namespace pictavo::qt
