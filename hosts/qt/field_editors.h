// Editors of saving fields (dialogs/saveparams.h), shared by the save
// dialog's form and the I/O parameters preview form: one widget per field,
// chosen by its kind (QCheckBox for switches, QSpinBox for numbers,
// QComboBox for choices, QPushButton showing the colour for colours), named
// "field_" + the field's name.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>

#include "dialogs/saveparams.h"

class QWidget;

namespace pictavo::qt {

// A new editor for `field`.  `write` receives every value the user enters;
// `pickColor` runs when a colour button is pressed.
QWidget* MakeFieldEditor(const TPVSaveField& field, QWidget* parent,
                         std::function<void(int32_t)> write, std::function<void()> pickColor);

// Shows `value` in an editor made by MakeFieldEditor (without writing it
// back) and greys the editor out when it is not `enabled`.
void ShowFieldValue(QWidget* editor, int32_t value, bool enabled);

// "#rrggbb" of a TColor value.
QString FieldColorText(int32_t color);

// Asks the user for a colour starting at `current` (TColor); false when the
// user cancelled.
bool PickFieldColor(QWidget* parent, int32_t current, int32_t& chosen);

}  // namespace pictavo::qt
