#include "hosts/qt/dialog_forms.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>
#include <string>

#include "dialogs/pvopensavedlg.h"
#include "hosts/qt/field_editors.h"
#include "hosts/qt/form_buttons.h"
#include "hosts/qt/iopreviews_form.h"
#include "hosts/qt/previews_form.h"
#include "hosts/qt/qt_convert.h"
#include "platform/colors.h"

namespace pictavo::qt {
namespace {

// Frame delay used when a frame gives none (GIF delays are hundredths of a
// second; browsers treat very short delays the same way).
constexpr int kDefaultFrameDelayMs = 100;
constexpr int kMinFrameDelayMs = 20;
constexpr int kListMinWidth = 320;
constexpr int kListMinHeight = 280;

// The folder the form opens in: the file name's folder, else the initial
// folder, else the current one.
QString StartFolder(const TPVFileDialog& model) {
  QFileInfo file(Q(model.GetFileName()));
  if (!model.GetFileName().empty() && file.absoluteDir().exists() &&
      model.GetFileName().find('/') != std::string::npos)
    return file.absolutePath();
  QDir initial(Q(model.GetInitialDir()));
  if (!model.GetInitialDir().empty() && initial.exists()) return initial.absolutePath();
  return QDir::currentPath();
}

}  // namespace

// ---------------------------------------------------------------------------
// The shared browser

PictureFileForm::PictureFileForm(TPVFileDialog& model, QWidget* parent)
    : QDialog(parent), base_model_(model) {
  setWindowTitle(Q(model.GetTitle()));
  fs_model_ = new QFileSystemModel(this);
  fs_model_->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDot);
  fs_model_->setNameFilterDisables(false);

  list_ = new QListView(this);
  list_->setObjectName("fileList");
  list_->setModel(fs_model_);
  list_->setMinimumSize(kListMinWidth, kListMinHeight);
  connect(list_, &QListView::activated, this, &PictureFileForm::Activated);
  connect(list_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current, const QModelIndex&) { CurrentChanged(current); });

  folder_edit_ = new QLineEdit(this);
  folder_edit_->setObjectName("folderEdit");
  connect(folder_edit_, &QLineEdit::editingFinished, this, [this] {
    if (QDir(folder_edit_->text()).exists()) SetFolder(folder_edit_->text());
  });

  filter_combo_ = new QComboBox(this);
  filter_combo_->setObjectName("filterCombo");
  for (const TPVFilterEntry& entry : model.FilterEntries())
    filter_combo_->addItem(Q(entry.Description));
  filter_combo_->setCurrentIndex(model.GetFilterIndex());

  name_edit_ = new QLineEdit(this);
  name_edit_->setObjectName("fileNameEdit");
  if (!model.GetFileName().empty())
    name_edit_->setText(QFileInfo(Q(model.GetFileName())).fileName());
  connect(name_edit_, &QLineEdit::textEdited, this, [this] { name_typed_ = true; });

  ApplyFilter(model.GetFilterIndex());
  SetFolder(StartFolder(model));
  connect(filter_combo_, &QComboBox::currentIndexChanged, this,
          [this](int index) { FilterChosen(index); });
}

void PictureFileForm::BuildLayout(QWidget* side) {
  auto* up = new QPushButton(QStringLiteral(".."), this);
  up->setObjectName("upButton");
  connect(up, &QPushButton::clicked, this,
          [this] { SetFolder(QDir::cleanPath(folder_ + QStringLiteral("/.."))); });
  auto* folderRow = new QHBoxLayout;
  folderRow->addWidget(folder_edit_, 1);
  folderRow->addWidget(up);

  auto* browser = new QVBoxLayout;
  browser->addLayout(folderRow);
  browser->addWidget(list_, 1);
  browser->addWidget(name_edit_);
  browser->addWidget(filter_combo_);

  auto* top = new QHBoxLayout;
  top->addLayout(browser, 1);
  top->addWidget(side);

  const TFormButtons okCancel = MakeOkCancel(this, this, Q(base_model_.Caption(PVMSG_OK)),
                                             Q(base_model_.Caption(PVMSG_CANCEL)));
  connect(okCancel.ok, &QPushButton::clicked, this, &PictureFileForm::OkClicked);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(okCancel.ok);
  buttons->addWidget(okCancel.cancel);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addLayout(buttons);
  // Typing a name is the first thing to do; the list takes the focus (and
  // its cursor) only when the user goes there.
  name_edit_->setFocus();
}

void PictureFileForm::SetFolder(const QString& folder) {
  folder_ = QDir(folder).absolutePath();
  fs_model_->setRootPath(folder_);
  list_->setRootIndex(fs_model_->index(folder_));
  folder_edit_->setText(folder_);
}

void PictureFileForm::FilterChosen(int index) {
  base_model_.SetFilterIndex(index);
  ApplyFilter(base_model_.GetFilterIndex());
}

void PictureFileForm::ApplyFilter(int index) {
  std::vector<TPVFilterEntry> entries = base_model_.FilterEntries();
  QStringList patterns;
  if (index >= 0 && index < static_cast<int>(entries.size()))
    for (const std::string& p : entries[index].Patterns) patterns << Q(p);
  fs_model_->setNameFilters(patterns);
}

void PictureFileForm::SetFileNameText(const QString& name) {
  name_edit_->setText(name);
}

QString PictureFileForm::FileNameText() const {
  return name_edit_->text().trimmed();
}

QString PictureFileForm::TypedPath() const {
  QString name = FileNameText();
  if (name.isEmpty()) return {};
  return QDir::cleanPath(QDir(folder_).absoluteFilePath(name));
}

void PictureFileForm::Activated(const QModelIndex& index) {
  if (fs_model_->isDir(index)) {
    SetFolder(fs_model_->filePath(index));
    return;
  }
  SetFileNameText(fs_model_->fileName(index));
  OkClicked();
}

void PictureFileForm::CurrentChanged(const QModelIndex& index) {
  // The list may move its cursor by itself as the folder fills in; once the
  // dialog has closed that must not change the chosen name.
  if (!isVisible() || !index.isValid() || fs_model_->isDir(index)) return;
  if (name_typed_ && !list_->hasFocus()) return;
  name_typed_ = false;
  SetFileNameText(fs_model_->fileName(index));
  FileSelected(fs_model_->filePath(index));
}

void PictureFileForm::OkClicked() {
  QString path = TypedPath();
  if (path.isEmpty()) return;
  if (QFileInfo(path).isDir()) {  // a typed folder is entered, as in any file dialog
    SetFolder(path);
    SetFileNameText({});
    return;
  }
  if (!CanAccept(path)) return;
  CommitFileName(path);
  accept();
}

// ---------------------------------------------------------------------------
// Open form

OpenPictureForm::OpenPictureForm(TOpenPictavoDialog& model, QWidget* parent)
    : PictureFileForm(model, parent), model_(model) {
  setObjectName("pictavoOpenDialog");
  auto* side = new QGroupBox(Q(model.Caption(PVMSG_PREVIEW)), this);
  picture_ = new QLabel(side);
  picture_->setObjectName("previewPicture");
  picture_->setFixedSize(model.GetPreviewWidth(), model.GetPreviewHeight());
  picture_->setAlignment(Qt::AlignCenter);
  picture_->setFrameShape(QFrame::StyledPanel);
  info_ = new QLabel(side);
  info_->setObjectName("previewInfo");
  info_->setTextFormat(Qt::PlainText);
  info_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  animate_ = new QCheckBox(Q(model.Caption(pVMSG_ANIMATE)), side);
  animate_->setObjectName("animateCheck");
  animate_->setChecked(model.GetAnimate());
  connect(animate_, &QCheckBox::toggled, this, &OpenPictureForm::AnimateToggled);
  prev_ = new QPushButton(QStringLiteral("<"), side);
  prev_->setObjectName("prevFrameButton");
  connect(prev_, &QPushButton::clicked, this, [this] { StepFrame(-1); });
  next_ = new QPushButton(QStringLiteral(">"), side);
  next_->setObjectName("nextFrameButton");
  connect(next_, &QPushButton::clicked, this, [this] { StepFrame(1); });
  timer_ = new QTimer(this);
  timer_->setSingleShot(true);
  connect(timer_, &QTimer::timeout, this, &OpenPictureForm::AnimationTick);

  auto* frames = new QHBoxLayout;
  frames->addWidget(prev_);
  frames->addWidget(next_);
  frames->addStretch(1);
  frames->addWidget(animate_);
  auto* column = new QVBoxLayout(side);
  column->addWidget(picture_);
  column->addLayout(frames);
  column->addWidget(info_, 1);

  BuildLayout(side);
  ShowPreview();
}

void OpenPictureForm::FileSelected(const QString& path) {
  model_.SelectFile(path.toStdString());
  ShowPreview();
}

void OpenPictureForm::CommitFileName(const QString& path) {
  model_.SetFileName(path.toStdString());
}

// Only an existing file can be opened (the model refuses anything else).
bool OpenPictureForm::CanAccept(const QString& path) const {
  return QFileInfo(path).isFile();
}

void OpenPictureForm::ShowPreview() {
  const TPVFilePreview& p = model_.GetPreview();
  QImage image = p.Picture ? ImageOf(*p.Picture) : QImage();
  if (image.isNull())
    picture_->clear();
  else
    picture_->setPixmap(QPixmap::fromImage(image));
  QStringList lines;
  for (const auto& [caption, value] : p.InfoLines(model_.GetMsgLanguage()))
    lines << Q(caption) + QStringLiteral(": ") + Q(value);
  info_->setText(lines.join('\n'));
  const bool frames = p.Valid && p.FrameCount > 1;
  prev_->setEnabled(frames);
  next_->setEnabled(frames);
  timer_->stop();
  if (frames && model_.GetAnimate())
    timer_->start(p.DelayTime > 0 ? std::max(kMinFrameDelayMs, p.DelayTime * 10)
                                  : kDefaultFrameDelayMs);
}

void OpenPictureForm::StepFrame(int delta) {
  const TPVFilePreview& p = model_.GetPreview();
  if (!p.Valid || p.FrameCount < 2) return;
  model_.ShowFrame(((p.Frame + delta) % p.FrameCount + p.FrameCount) % p.FrameCount);
  ShowPreview();
}

void OpenPictureForm::AnimateToggled(bool on) {
  model_.SetAnimate(on);
  ShowPreview();
}

void OpenPictureForm::AnimationTick() {
  if (model_.NextFrame()) ShowPreview();
}

// ---------------------------------------------------------------------------
// Save form

SavePictureForm::SavePictureForm(TSavePictavoDialog& model, QWidget* parent)
    : PictureFileForm(model, parent), model_(model) {
  setObjectName("pictavoSaveDialog");
  auto* side = new QWidget(this);
  format_combo_ = new QComboBox(side);
  format_combo_->setObjectName("formatCombo");
  for (const TPVPictureFormat& f : model.Formats())
    format_combo_->addItem(Q(f.Description), f.FileType);
  params_box_ = new QGroupBox(Q(model.Caption(PVMSG_ADVANCED)), side);
  params_box_->setObjectName("paramsBox");
  params_layout_ = new QFormLayout(params_box_);
  auto* column = new QVBoxLayout(side);
  column->addWidget(format_combo_);
  column->addWidget(params_box_);
  column->addStretch(1);

  connect(format_combo_, &QComboBox::currentIndexChanged, this, &SavePictureForm::FormatChosen);
  connect(name_edit_, &QLineEdit::editingFinished, this, &SavePictureForm::NameEdited);

  BuildLayout(side);
  ShowModelChoice();
  BuildEditors();
}

void SavePictureForm::ShowModelChoice() {
  const QSignalBlocker block(format_combo_);  // showing is not choosing
  int index = format_combo_->findData(model_.GetFormat());
  if (index >= 0) format_combo_->setCurrentIndex(index);
  if (!model_.GetFileName().empty()) SetFileNameText(QFileInfo(Q(model_.GetFileName())).fileName());
}

void SavePictureForm::FormatChosen(int index) {
  if (index < 0) return;
  if (!FileNameText().isEmpty()) model_.SetFileName(TypedPath().toStdString());
  model_.SetFormat(format_combo_->itemData(index).toInt());
  ShowModelChoice();
  BuildEditors();
}

void SavePictureForm::NameEdited() {
  if (FileNameText().isEmpty()) return;
  const int32_t before = model_.GetFormat();
  model_.SetFileName(TypedPath().toStdString());
  ShowModelChoice();
  if (model_.GetFormat() != before) BuildEditors();
}

void SavePictureForm::FileSelected(const QString& path) {
  const int32_t before = model_.GetFormat();
  model_.SetFileName(path.toStdString());
  ShowModelChoice();
  if (model_.GetFormat() != before) BuildEditors();
}

void SavePictureForm::FilterChosen(int index) {
  const int32_t before = model_.GetFormat();
  PictureFileForm::FilterChosen(index);
  ShowModelChoice();
  if (model_.GetFormat() != before) BuildEditors();
}

void SavePictureForm::CommitFileName(const QString& path) {
  model_.SetFileName(path.toStdString());
}

void SavePictureForm::BuildEditors() {
  while (params_layout_->rowCount() > 0) params_layout_->removeRow(0);
  editors_.clear();
  const std::vector<TPVSaveField> fields = model_.Fields();
  for (int i = 0; i < static_cast<int>(fields.size()); ++i) {
    const TPVSaveField& f = fields[i];
    QWidget* widget = MakeFieldEditor(
        f, params_box_, [this, i](int32_t v) { WriteField(i, v); }, [this, i] { PickColor(i); });
    params_layout_->addRow(Q(f.Caption(model_.GetMsgLanguage())), widget);
    editors_.push_back({i, widget});
  }
  params_box_->setVisible(!fields.empty());
  RefreshEditors();
}

void SavePictureForm::RefreshEditors() {
  refreshing_ = true;
  const std::vector<TPVSaveField> fields = model_.Fields();
  for (const Editor& e : editors_) {
    if (e.field >= static_cast<int>(fields.size())) continue;
    const TPVSaveField& f = fields[e.field];
    ShowFieldValue(e.widget, model_.GetFieldValue(f.Name),
                   !f.ReadOnly && f.IsEnabled(model_.Params()));
  }
  refreshing_ = false;
}

void SavePictureForm::WriteField(int field, int value) {
  if (refreshing_) return;
  const std::vector<TPVSaveField> fields = model_.Fields();
  if (field < 0 || field >= static_cast<int>(fields.size())) return;
  model_.SetFieldValue(fields[field].Name, value);
  RefreshEditors();
}

void SavePictureForm::PickColor(int field) {
  const std::vector<TPVSaveField> fields = model_.Fields();
  if (field < 0 || field >= static_cast<int>(fields.size())) return;
  int32_t chosen = 0;
  if (PickFieldColor(this, model_.GetFieldValue(fields[field].Name), chosen))
    WriteField(field, chosen);
}

// ---------------------------------------------------------------------------
// The host

bool ShowPictureDialog(TPVDialogModel& model) {
  QWidget* parent = QApplication::activeWindow();
  switch (model.DialogKind()) {
    case dkOpenPicture: {
      auto* open = dynamic_cast<TOpenPictavoDialog*>(&model);
      if (!open) return false;
      OpenPictureForm form(*open, parent);
      return form.exec() == QDialog::Accepted;
    }
    case dkSavePicture: {
      auto* save = dynamic_cast<TSavePictavoDialog*>(&model);
      if (!save) return false;
      SavePictureForm form(*save, parent);
      return form.exec() == QDialog::Accepted;
    }
    case dkProcessingPreview:
      return ShowPreviewsDialog(model, parent);
    case dkIOPreview:
      return ShowIOPreviewsDialog(model, parent);
  }
  return false;
}

void InstallQtDialogHost() {
  PVSetDialogHost(ShowPictureDialog);
}

void UninstallQtDialogHost() {
  PVSetDialogHost(nullptr);
}

}  // namespace pictavo::qt
