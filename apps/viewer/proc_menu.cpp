#include "apps/viewer/proc_menu.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <map>

namespace pictavo::viewer {
namespace {

QWidget* FileEditor(QWidget* parent) {
  auto* row = new QWidget(parent);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* name = new QLineEdit(row);
  auto* browse = new QPushButton("Browse...", row);
  layout->addWidget(name);
  layout->addWidget(browse);
  QObject::connect(browse, &QPushButton::clicked, row, [row, name] {
    const QString file = QFileDialog::getOpenFileName(row, "Image file");
    if (!file.isEmpty()) name->setText(file);
  });
  return row;
}

QWidget* Editor(const TOpParam& param, int initial, QWidget* parent) {
  if (param.file) return FileEditor(parent);
  if (param.text) return new QLineEdit(parent);
  if (!param.choices.empty()) {
    auto* box = new QComboBox(parent);
    for (const std::string& word : param.choices) box->addItem(QString::fromStdString(word));
    box->setCurrentIndex(initial);
    return box;
  }
  auto* spin = new QSpinBox(parent);
  spin->setRange(param.min, param.max);
  spin->setValue(initial);
  return spin;
}

}  // namespace

ProcParamsDialog::ProcParamsDialog(const TProcOp& op, int imageWidth, int imageHeight,
                                   QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(QString::fromStdString(op.caption).remove('&').remove("..."));
  auto* form = new QFormLayout(this);
  for (const TOpParam& param : op.params) {
    QWidget* editor = Editor(param, InitialValue(param, imageWidth, imageHeight), this);
    editors_.push_back(editor);
    form->addRow(QString::fromStdString(param.label), editor);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
}

TOpValues ProcParamsDialog::Values() const {
  TOpValues values;
  for (QWidget* editor : editors_) {
    if (auto* spin = qobject_cast<QSpinBox*>(editor)) {
      values.numbers.push_back(spin->value());
    } else if (auto* box = qobject_cast<QComboBox*>(editor)) {
      values.numbers.push_back(box->currentIndex());
    } else {
      values.numbers.push_back(0);
      auto* line = qobject_cast<QLineEdit*>(editor);
      if (!line) line = editor->findChild<QLineEdit*>();
      values.text = line->text().toStdString();
    }
  }
  return values;
}

void BuildProcessingMenu(QMenu* menu, const std::function<void(const TProcOp&)>& apply) {
  std::map<std::string, QMenu*> groups;
  for (const TProcOp& op : ProcOps()) {
    QMenu*& group = groups[op.group];
    if (!group) group = menu->addMenu(QString::fromStdString(op.group));
    QAction* action = group->addAction(QString::fromStdString(op.caption));
    QObject::connect(action, &QAction::triggered, menu, [&op, apply] { apply(op); });
  }
}

}  // namespace pictavo::viewer
