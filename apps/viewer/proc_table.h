// The viewer's Processing menu as a table: each operation names its menu
// group, its caption, the parameters its dialog asks for (whole numbers
// in a range, or a choice among words) and the call that applies it to the
// TPictavo.  The menu and the parameters dialog are built from this table,
// so an operation is one entry here and nothing more.  The table is free of
// Qt, so that tests apply its entries without a desktop.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "view/pictavo.h"

namespace pictavo::viewer {

// Where a parameter's initial value comes from: a constant or the image.
enum class TParamDefault { Constant, Width, Height, HalfWidth, HalfHeight };

struct TOpParam {
  std::string label;
  int min = 0;
  int max = 0;
  int value = 0;  // the constant default (or the index of the default choice)
  TParamDefault from = TParamDefault::Constant;
  std::vector<std::string> choices;  // non-empty: a choice, value is an index
  bool file = false;                 // a file name instead of a number
  bool text = false;                 // a line of text instead of a number
};

// The values the user confirmed, in the order of the parameters; a file or
// text parameter leaves its number 0 and puts its name or text in `text`.
struct TOpValues {
  std::vector<int> numbers;
  std::string text;
};

struct TProcOp {
  std::string group;    // the submenu
  std::string caption;  // the menu item ("&" marks the accelerator)
  std::vector<TOpParam> params;
  // Applies the operation; returns a line to show the user ("" when there
  // is nothing to say).  Throws std::runtime_error with a message the
  // viewer shows when the values cannot be used.
  std::function<std::string(TPictavo&, const TOpValues&)> run;
  bool modifies = true;  // false for operations that only report
};

// Every operation, grouped in menu order.
const std::vector<TProcOp>& ProcOps();
// The operation with this caption (ampersands ignored), or null.
const TProcOp* FindProcOp(const std::string& caption);
// Runs the operation as one undoable step: the image is saved for Undo
// once before it (an entry may make several calls, such as expanding a
// black-and-white image first), and the processing component's AutoUndo is
// restored afterwards, also when the operation throws.
std::string ApplyProcOp(TPictavo& pictavo, const TProcOp& op, const TOpValues& values);
// The initial value of a parameter for an image of the given size.
int InitialValue(const TOpParam& param, int width, int height);

}  // namespace pictavo::viewer
