// The Qt forms of the open and save picture dialogs.  Each form is a thin
// QDialog over its model (dialogs/pvopensavedlg.h): every choice the user
// makes is handed to the model, and what the form shows is read back from
// it, so the forms hold no behaviour of their own.  Captions come from the
// model's language.
//
// The widgets carry object names so that tests and screenshot scripts can
// find them: "fileList", "folderEdit", "upButton", "filterCombo",
// "fileNameEdit", "okButton", "cancelButton"; on the open form
// "previewPicture", "previewInfo", "animateCheck", "prevFrameButton",
// "nextFrameButton"; on the save form "formatCombo", "paramsBox" and one
// editor per saving field named "field_" + the field name
// ("field_JPEG_Quality": QSpinBox for numbers, QCheckBox for switches,
// QComboBox for choices, QPushButton for colours).
#pragma once

#include <QDialog>
#include <QString>
#include <vector>

#include "dialogs/dialoghost.h"

class QCheckBox;
class QComboBox;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QListView;
class QModelIndex;
class QPushButton;
class QTimer;
class QFormLayout;
class QGroupBox;
class QWidget;

namespace pictavo {
class TOpenPictavoDialog;
class TSavePictavoDialog;
class TPVFileDialog;
}  // namespace pictavo

namespace pictavo::qt {

// The dialog host the Qt bridge installs: shows the form of the model's kind
// modally over the active window; true when the user accepted it.
bool ShowPictureDialog(TPVDialogModel& model);
// Installs / removes ShowPictureDialog as the library's dialog host.
void InstallQtDialogHost();
void UninstallQtDialogHost();

// What both forms share: a folder browser filtered by the model's filter,
// the file name line and the OK / Cancel buttons.
class PictureFileForm : public QDialog {
  Q_OBJECT
 public:
  PictureFileForm(TPVFileDialog& model, QWidget* parent);

  QString Folder() const { return folder_; }
  void SetFolder(const QString& folder);

 protected:
  // Called when the user moves to a file (not a folder) in the list.
  virtual void FileSelected(const QString& path) = 0;
  // Called with the filter entry the user picked.
  virtual void FilterChosen(int index);
  // Hands the typed name to the model before the dialog closes.
  virtual void CommitFileName(const QString& path) = 0;
  // Whether OK may close the dialog with this (non-folder) path; a refused
  // path keeps the dialog open, as the model would not accept it.
  virtual bool CanAccept(const QString& path) const {
    (void)path;
    return true;
  }
  void SetFileNameText(const QString& name);
  QString FileNameText() const;
  // The typed name as a path (relative names are in the shown folder).
  QString TypedPath() const;
  void ApplyFilter(int index);
  // Lays out browser (left) and `side` (right) above the buttons.
  void BuildLayout(QWidget* side);

  TPVFileDialog& base_model_;
  QFileSystemModel* fs_model_ = nullptr;
  QListView* list_ = nullptr;
  QLineEdit* folder_edit_ = nullptr;
  QComboBox* filter_combo_ = nullptr;
  QLineEdit* name_edit_ = nullptr;
  // Set when the user typed in the name line and not in the list since:
  // the list's own cursor moves (as a folder fills in) then leave the
  // typed name alone.
  bool name_typed_ = false;

 private:
  void Activated(const QModelIndex& index);
  void CurrentChanged(const QModelIndex& index);
  void OkClicked();

  QString folder_;
};

class OpenPictureForm : public PictureFileForm {
  Q_OBJECT
 public:
  OpenPictureForm(TOpenPictavoDialog& model, QWidget* parent = nullptr);

 protected:
  void FileSelected(const QString& path) override;
  void CommitFileName(const QString& path) override;
  bool CanAccept(const QString& path) const override;

 private:
  // Shows the model's preview: picture, information lines, frame buttons.
  void ShowPreview();
  void StepFrame(int delta);
  void AnimateToggled(bool on);
  void AnimationTick();

  TOpenPictavoDialog& model_;
  QLabel* picture_ = nullptr;
  QLabel* info_ = nullptr;
  QCheckBox* animate_ = nullptr;
  QPushButton* prev_ = nullptr;
  QPushButton* next_ = nullptr;
  QTimer* timer_ = nullptr;
};

class SavePictureForm : public PictureFileForm {
  Q_OBJECT
 public:
  SavePictureForm(TSavePictavoDialog& model, QWidget* parent = nullptr);

 protected:
  void FileSelected(const QString& path) override;
  void FilterChosen(int index) override;
  void CommitFileName(const QString& path) override;

 private:
  struct Editor {
    int field;  // index into the model's Fields()
    QWidget* widget;
  };
  void FormatChosen(int index);
  void NameEdited();
  // Rebuilds the editors for the model's format.
  void BuildEditors();
  // Reads every editor's value and enabled state back from the model.
  void RefreshEditors();
  // Selects the model's format in the combo and its name in the line.
  void ShowModelChoice();
  void WriteField(int field, int value);
  void PickColor(int field);

  TSavePictavoDialog& model_;
  QComboBox* format_combo_ = nullptr;
  QGroupBox* params_box_ = nullptr;
  QFormLayout* params_layout_ = nullptr;
  std::vector<Editor> editors_;
  bool refreshing_ = false;
};

}  // namespace pictavo::qt
