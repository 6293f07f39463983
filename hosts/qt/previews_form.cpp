#include "hosts/qt/previews_form.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

#include "hosts/qt/form_buttons.h"
#include "hosts/qt/qt_convert.h"
#include "platform/canvas.h"
#include "platform/colors.h"

namespace pictavo::qt {
namespace {

constexpr const char* kParamNames[kPVPreviewParamCount] = {
    "contrast",      "brightness",  "hsvHue",         "hsvSaturation",
    "hsvValue",      "hslHue",      "hslSaturation",  "hslLuminosity",
    "red",           "green",       "blue",           "filter00",
    "filter01",      "filter02",    "filter10",       "filter11",
    "filter12",      "filter20",    "filter21",       "filter22",
    "filterDivisor", "equalize",    "bumpLeft",       "bumpTop",
    "bumpWidth",     "bumpHeight",  "bumpQuantity",   "lensLeft",
    "lensTop",       "lensWidth",   "lensHeight",     "lensRefraction",
    "waveAmplitude", "waveLength",  "wavePhase",      "waveReflective",
    "morphOp",       "morphWindow", "flipHorizontal", "flipVertical",
    "rotateAngle",   "fftGrayScale"};

// The caption beside each parameter's editor.
constexpr TMsgLanguageWords kParamWords[kPVPreviewParamCount] = {
    PVMSG_CONTRAST,     PVMSG_BRIGHTNESS,   PVMSG_HUE,
    PVMSG_SATURATION,   PVMSG_VALUE,        PVMSG_HUE,
    PVMSG_SATURATION,   PVMSG_LUMINOSITY,   PVMSG_RED,
    PVMSG_GREEN,        PVMSG_BLUE,         PVMSG_FILTERVALUES,
    PVMSG_FILTERVALUES, PVMSG_FILTERVALUES, PVMSG_FILTERVALUES,
    PVMSG_FILTERVALUES, PVMSG_FILTERVALUES, PVMSG_FILTERVALUES,
    PVMSG_FILTERVALUES, PVMSG_FILTERVALUES, PVMSG_DIVISOR,
    PVMSG_EQUALIZE,     PVMSG_LEFT,         PVMSG_TOP,
    PVMSG_WIDTH,        PVMSG_HEIGHT,       PVMSG_SOURCEIMAGEQUANTITY,
    PVMSG_LEFT,         PVMSG_TOP,          PVMSG_WIDTH,
    PVMSG_HEIGHT,       PVMSG_REFRACTION,   PVMSG_AMPLITUDE,
    PVMSG_WAVELENGTH,   PVMSG_PHASE,        PVMSG_REFLECTIVE,
    PVMSG_FILTER,       PVMSG_WINDOWSIZE,   PVMSG_FLIPHOR,
    PVMSG_FLIPVER,      PVMSG_ROTATE,       PVMSG_GRAYSCALE};

// Position edits step by ten.
constexpr int kPositionStep = 10;
constexpr int kChannelMax = 255;

bool IsSwitch(TPVPreviewParam p) {
  const TPVPreviewParamInfo& info = PVPreviewParamInfo(p);
  return info.minimum == 0 && info.maximum == 1;
}

bool IsPosition(TPVPreviewParam p) {
  return (p >= pvprBumpLeft && p <= pvprBumpHeight) || (p >= pvprLensLeft && p <= pvprLensHeight);
}

}  // namespace

const char* PVPreviewParamName(TPVPreviewParam param) {
  return kParamNames[param];
}

void PictureLabel::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && OnPress) OnPress(event->position().toPoint());
}

void PictureLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && OnRelease) OnRelease(event->position().toPoint());
}

PreviewsForm::PreviewsForm(TfPreviews& model, QWidget* parent) : QDialog(parent), model_(model) {
  const TPVPreviewsCaptions& c = model_.Captions();
  setWindowTitle(Q(c.Form));
  source_ = new PictureLabel(this);
  source_->setObjectName("sourcePicture");
  result_ = new PictureLabel(this);
  result_->setObjectName("resultPicture");
  for (QLabel* l : {static_cast<QLabel*>(source_), static_cast<QLabel*>(result_)}) {
    l->setFixedSize(TfPreviews::kViewSize, TfPreviews::kViewSize);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  }
  // A press in the result is a click at the result view's client position.
  result_->OnPress = [this](QPoint p) {
    Act([&] {
      model_.ResultClick(p.x() + model_.ResultView().OffsetX(),
                         p.y() + model_.ResultView().OffsetY());
    });
  };
  auto* pictures = new QHBoxLayout;
  auto column = [&](const std::string& caption, QLabel* picture) {
    auto* v = new QVBoxLayout;
    v->addWidget(new QLabel(Q(caption), this));
    v->addWidget(picture);
    pictures->addLayout(v);
  };
  column(c.Source, source_);
  column(c.Result, result_);

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName("pages");
  for (TPVPreviewPage page : model_.VisiblePages()) {
    tabs_->addTab(BuildPage(page), Q(c.Pages[page]));
    tab_pages_.push_back(page);
  }
  const auto active = std::find(tab_pages_.begin(), tab_pages_.end(), model_.ActivePage());
  if (active != tab_pages_.end()) tabs_->setCurrentIndex(int(active - tab_pages_.begin()));
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
    if (index >= 0 && index < int(tab_pages_.size()))
      Act([&] { model_.SelectPage(tab_pages_[index]); });
  });

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(pictures);
  layout->addWidget(tabs_, 1);
  layout->addWidget(BuildButtons());
  Refresh();
}

QWidget* PreviewsForm::BuildPage(TPVPreviewPage page) {
  auto* widget = new QWidget(this);
  auto* form = new QFormLayout(widget);
  AddParamEditors(page, widget, form);
  switch (page) {
    case pvpHSV:
      AddColorButton(
          form, "baseColorButton", Q(model_.Label(PVMSG_BASECOLOR)),
          [this] { return model_.GetBaseColor(); }, [this](TColor v) { model_.SetBaseColor(v); });
      AddColorButton(
          form, "newColorButton", Q(model_.Label(PVMSG_NEWCOLOR)),
          [this] { return model_.GetNewColor(); }, [this](TColor v) { model_.SetNewColor(v); });
      break;
    case pvpBumpMap:
      AddColorButton(
          form, "lightColorButton", Q(model_.Label(PVMSG_COLOR)),
          [this] { return model_.GetLightColor(); }, [this](TColor v) { model_.SetLightColor(v); });
      break;
    case pvpUserFilter:
      AddFilterControls(form);
      break;
    case pvpEqualize:
      AddEqualizeControls(form);
      break;
    case pvpFFT:
      AddSpectrumControls(form);
      break;
    default:
      break;
  }
  return widget;
}

void PreviewsForm::AddParamEditors(TPVPreviewPage page, QWidget* page_widget, QFormLayout* form) {
  for (int i = 0; i < kPVPreviewParamCount; ++i) {
    const auto p = TPVPreviewParam(i);
    const TPVPreviewParamInfo& info = PVPreviewParamInfo(p);
    if (info.page != page) continue;
    const QString label = Q(model_.Label(kParamWords[p]));
    QWidget* editor = nullptr;
    if (p == pvprMorphOp) {
      auto* combo = new QComboBox(page_widget);
      for (const std::string& item : model_.Captions().MorphItems) combo->addItem(Q(item));
      connect(combo, &QComboBox::currentIndexChanged, this, [this, p](int v) {
        if (!refreshing_) Act([&] { model_.SetParam(p, v); });
      });
      editor = combo;
    } else if (IsSwitch(p)) {
      auto* check = new QCheckBox(label, page_widget);
      connect(check, &QCheckBox::toggled, this, [this, p](bool on) {
        if (!refreshing_) Act([&] { model_.SetParam(p, on ? 1 : 0); });
      });
      editor = check;
    } else {
      auto* spin = new QSpinBox(page_widget);
      spin->setRange(info.minimum, info.maximum);
      if (IsPosition(p)) spin->setSingleStep(kPositionStep);
      connect(spin, &QSpinBox::valueChanged, this, [this, p](int v) {
        if (!refreshing_) Act([&] { model_.SetParam(p, v); });
      });
      editor = spin;
    }
    editor->setObjectName(QStringLiteral("param_") + kParamNames[p]);
    if (qobject_cast<QCheckBox*>(editor))
      form->addRow(editor);
    else
      form->addRow(label, editor);
    editors_.push_back({p, editor});
  }
}

void PreviewsForm::AddColorButton(QFormLayout* form, const char* name, const QString& label,
                                  std::function<TColor()> get, std::function<void(TColor)> set) {
  auto* button = new QPushButton(label, this);
  button->setObjectName(name);
  connect(button, &QPushButton::clicked, this, [this, get, set] {
    const TColor c = ColorToRGB(get());
    const QColor chosen =
        QColorDialog::getColor(QColor(GetRValue(c), GetGValue(c), GetBValue(c)), this);
    if (chosen.isValid()) Act([&] { set(RGB(chosen.red(), chosen.green(), chosen.blue())); });
  });
  form->addRow(button);
}

void PreviewsForm::AddFilterControls(QFormLayout* form) {
  preset_ = new QComboBox(this);
  preset_->setObjectName("presetCombo");
  for (const char* name : TfPreviews::kPresetNames) preset_->addItem(name);
  connect(preset_, &QComboBox::currentIndexChanged, this, [this](int v) {
    if (!refreshing_) Act([&] { model_.SelectPreset(v); });
  });
  form->addRow(Q(model_.Label(PVMSG_PRESETS)), preset_);
  auto* load = new QPushButton(Q(model_.Label(PVMSG_LOAD)), this);
  load->setObjectName("loadFilterButton");
  connect(load, &QPushButton::clicked, this, [this] {
    const QString file = QFileDialog::getOpenFileName(this, TfPreviews::kLoadFilterTitle, QString(),
                                                      TfPreviews::kFilterFilter);
    if (!file.isEmpty()) Act([&] { model_.LoadFilter(file.toStdString()); });
  });
  auto* save = new QPushButton(Q(model_.Label(PVMSG_SAVE)), this);
  save->setObjectName("saveFilterButton");
  connect(save, &QPushButton::clicked, this, [this] {
    QFileDialog dialog(this, TfPreviews::kSaveFilterTitle, QString(), TfPreviews::kFilterFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(TfPreviews::kFilterExtension);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
      model_.SaveFilter(dialog.selectedFiles().front().toStdString());
  });
  auto* row = new QHBoxLayout;
  row->addWidget(load);
  row->addWidget(save);
  form->addRow(row);
}

void PreviewsForm::AddEqualizeControls(QFormLayout* form) {
  auto* row = new QHBoxLayout;
  for (int ch = 0; ch < 4; ++ch) {
    auto* check = new QCheckBox(Q(model_.Captions().Channels[ch]), this);
    check->setObjectName(QStringLiteral("channel_%1").arg(ch));
    connect(check, &QCheckBox::toggled, this, [this, ch](bool on) {
      if (!refreshing_) Act([&] { model_.SetChannelChecked(TPVHistChannel(ch), on); });
    });
    channels_.push_back(check);
    row->addWidget(check);
  }
  form->addRow(Q(model_.Label(PVMSG_HISTOGRAM)), row);
  const TMsgLanguageWords words[2] = {PVMSG_THRESHOLD, PVMSG_EQUALIZATION};
  for (int ruler = 0; ruler < 2; ++ruler) {
    auto* grips = new QHBoxLayout;
    for (int grip = 0; grip < 2; ++grip) {
      auto* spin = new QSpinBox(this);
      spin->setRange(0, kChannelMax);
      spin->setObjectName(QStringLiteral("grip_%1_%2").arg(ruler).arg(grip));
      connect(spin, &QSpinBox::valueChanged, this, [this, ruler, grip](int v) {
        if (!refreshing_) Act([&] { model_.SetGrip(TPVPreviewRuler(ruler), grip, v); });
      });
      grips_.push_back(spin);
      grips->addWidget(spin);
    }
    form->addRow(Q(model_.Label(words[ruler])), grips);
  }
}

void PreviewsForm::AddSpectrumControls(QFormLayout* form) {
  const TPVPreviewsCaptions& c = model_.Captions();
  spectrum_ = new PictureLabel(this);
  spectrum_->setObjectName("spectrumPicture");
  spectrum_->setFixedSize(TfPreviews::kSpectrumSide, TfPreviews::kSpectrumSide);
  spectrum_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  spectrum_->setToolTip(Q(c.SpectrumGroup));
  // Dragging over the spectrum selects the region to clear (the label shows
  // the spectrum one to one).
  spectrum_->OnPress = [this](QPoint p) { spectrum_press_ = p; };
  spectrum_->OnRelease = [this](QPoint p) {
    const int x1 = std::min(p.x(), spectrum_press_.x()), x2 = std::max(p.x(), spectrum_press_.x());
    const int y1 = std::min(p.y(), spectrum_press_.y()), y2 = std::max(p.y(), spectrum_press_.y());
    Act([&] {
      model_.SpectrumView().ProcSelectBitmapRect(x1, y1, x2 + 1, y2 + 1, pvspReplace);
      model_.FFTPreview();
    });
  };
  form->addRow(spectrum_);
  auto* clear = new QPushButton(Q(c.Clear), this);
  clear->setObjectName("fftClearButton");
  connect(clear, &QPushButton::clicked, this, [this] { Act([&] { model_.FFTClear(); }); });
  auto* reset = new QPushButton(Q(c.Reset), this);
  reset->setObjectName("fftResetButton");
  connect(reset, &QPushButton::clicked, this, [this] { Act([&] { model_.FFTReset(); }); });
  auto* row = new QHBoxLayout;
  row->addWidget(clear);
  row->addWidget(reset);
  form->addRow(row);
}

QWidget* PreviewsForm::BuildButtons() {
  const TPVPreviewsCaptions& c = model_.Captions();
  auto* box = new QWidget(this);
  auto* row = new QHBoxLayout(box);
  lock_ = new QCheckBox(Q(c.LockHint), box);
  lock_->setObjectName("lockCheck");
  connect(lock_, &QCheckBox::toggled, this, [this](bool on) {
    if (!refreshing_) Act([&] { model_.SetLockPreview(on); });
  });
  preview_ = new QPushButton(Q(c.Preview), box);
  preview_->setObjectName("previewButton");
  connect(preview_, &QPushButton::clicked, this, [this] { Act([&] { model_.Preview(); }); });
  auto* copy = new QPushButton(QStringLiteral("<<"), box);
  copy->setObjectName("copyButton");
  copy->setToolTip(Q(c.CopyHint));
  connect(copy, &QPushButton::clicked, this, [this] { Act([&] { model_.CopyResultToSource(); }); });
  const TFormButtons buttons = MakeOkCancel(this, box, Q(c.Ok), Q(c.Cancel));
  connect(buttons.ok, &QPushButton::clicked, this, &QDialog::accept);
  row->addWidget(lock_);
  row->addWidget(preview_);
  row->addWidget(copy);
  row->addStretch(1);
  row->addWidget(buttons.ok);
  row->addWidget(buttons.cancel);
  return box;
}

void PreviewsForm::Act(const std::function<void()>& action) {
  action();
  Refresh();
}

void PreviewsForm::Refresh() {
  refreshing_ = true;
  for (const Editor& e : editors_) {
    const QSignalBlocker block(e.widget);
    const int v = model_.GetParam(e.param);
    if (auto* spin = qobject_cast<QSpinBox*>(e.widget))
      spin->setValue(v);
    else if (auto* check = qobject_cast<QCheckBox*>(e.widget))
      check->setChecked(v != 0);
    else if (auto* combo = qobject_cast<QComboBox*>(e.widget))
      combo->setCurrentIndex(v);
  }
  if (preset_) preset_->setCurrentIndex(model_.GetPreset());
  for (int ch = 0; ch < int(channels_.size()); ++ch)
    channels_[ch]->setChecked(model_.GetChannelChecked(TPVHistChannel(ch)));
  for (int i = 0; i < int(grips_.size()); ++i)
    grips_[i]->setValue(model_.GetGrip(TPVPreviewRuler(i / 2), i % 2));
  lock_->setChecked(model_.GetLockPreview());
  preview_->setEnabled(model_.PreviewEnabled());
  refreshing_ = false;
  ShowPictures();
}

void PreviewsForm::ShowPictures() {
  TPictavo& src = model_.SourceView();
  TBitmap shown(std::max(src.ExtentX(), 1), std::max(src.ExtentY(), 1), pf24bit);
  src.DrawTo(shown.Canvas());
  source_->setPixmap(QPixmap::fromImage(ImageOf(shown)));
  result_->setPixmap(QPixmap::fromImage(ImageOf(model_.ResultView().Bitmap())));
  if (spectrum_) spectrum_->setPixmap(QPixmap::fromImage(ImageOf(model_.SpectrumView().Bitmap())));
}

bool ShowPreviewsDialog(TPVDialogModel& model, QWidget* parent) {
  auto* previews = dynamic_cast<TfPreviews*>(&model);
  if (!previews) return false;
  PreviewsForm form(*previews, parent);
  return form.exec() == QDialog::Accepted;
}

}  // namespace pictavo::qt
