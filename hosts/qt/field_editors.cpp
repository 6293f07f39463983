#include "hosts/qt/field_editors.h"

#include <QCheckBox>
#include <QColor>
#include <QColorDialog>
#include <QComboBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <utility>

#include "hosts/qt/qt_convert.h"
#include "platform/colors.h"

namespace pictavo::qt {

QString FieldColorText(int32_t color) {
  const TColor c = static_cast<TColor>(color);
  return QColor(GetRValue(c), GetGValue(c), GetBValue(c)).name();
}

QWidget* MakeFieldEditor(const TPVSaveField& field, QWidget* parent,
                         std::function<void(int32_t)> write, std::function<void()> pickColor) {
  QWidget* widget = nullptr;
  switch (field.Kind) {
    case pfkBoolean: {
      auto* box = new QCheckBox(parent);
      QObject::connect(box, &QCheckBox::toggled, box, [write](bool on) { write(on ? 1 : 0); });
      widget = box;
      break;
    }
    case pfkInteger: {
      auto* spin = new QSpinBox(parent);
      spin->setRange(field.Min, field.Max);
      QObject::connect(spin, &QSpinBox::valueChanged, spin, [write](int v) { write(v); });
      widget = spin;
      break;
    }
    case pfkChoice: {
      auto* combo = new QComboBox(parent);
      for (const TPVFieldChoice& c : field.Choices) combo->addItem(Q(c.Label), c.Value);
      QObject::connect(combo, &QComboBox::currentIndexChanged, combo, [write, combo](int index) {
        if (index >= 0) write(combo->itemData(index).toInt());
      });
      widget = combo;
      break;
    }
    case pfkColor: {
      auto* button = new QPushButton(parent);
      QObject::connect(button, &QPushButton::clicked, button, [pickColor] { pickColor(); });
      widget = button;
      break;
    }
  }
  widget->setObjectName(Q("field_" + field.Name));
  return widget;
}

void ShowFieldValue(QWidget* editor, int32_t value, bool enabled) {
  const QSignalBlocker block(editor);  // showing is not entering
  editor->setEnabled(enabled);
  if (auto* box = qobject_cast<QCheckBox*>(editor)) {
    box->setChecked(value != 0);
  } else if (auto* spin = qobject_cast<QSpinBox*>(editor)) {
    if (spin->value() != value) spin->setValue(value);
  } else if (auto* combo = qobject_cast<QComboBox*>(editor)) {
    combo->setCurrentIndex(combo->findData(value));
  } else if (auto* button = qobject_cast<QPushButton*>(editor)) {
    button->setText(FieldColorText(value));
  }
}

bool PickFieldColor(QWidget* parent, int32_t current, int32_t& chosen) {
  const QColor picked = QColorDialog::getColor(QColor(FieldColorText(current)), parent);
  if (!picked.isValid()) return false;
  chosen = static_cast<int32_t>(RGB(picked.red(), picked.green(), picked.blue()));
  return true;
}

}  // namespace pictavo::qt
