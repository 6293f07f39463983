// The saving parameters of each format as a list of editable fields, so that
// a dialog (the Qt form, a test, a command line) can show and edit them
// without knowing the formats: every field names the TIOParamsVals member it
// edits, its kind, its caption word, its allowed values and how to read and
// write it.  Values travel as int32: booleans 0/1, integers, the enumeration
// member of a choice, colours as TColor (0x00BBGGRR).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dialogs/pvwords.h"
#include "io/ioparams.h"

namespace pictavo {

enum TPVFieldKind : uint8_t { pfkBoolean, pfkInteger, pfkChoice, pfkColor };

struct TPVFieldChoice {
  int32_t Value;
  std::string Label;  // technical names ("LZW", "Paeth"), not translated
};

struct TPVSaveField {
  std::string Name;  // the TIOParamsVals member, e.g. "JPEG_Quality"
  TPVFieldKind Kind = pfkBoolean;
  TMsgLanguageWords Word = PVMSG_ADVANCED;  // caption
  const char* Label = nullptr;              // caption used instead of Word (no word exists)
  int32_t Min = 0;                          // integer range
  int32_t Max = 0;
  std::vector<TPVFieldChoice> Choices;
  bool ReadOnly = false;  // shown, derived from other fields
  int32_t (*Get)(const TIOParamsVals&) = nullptr;
  void (*Set)(TIOParamsVals&, int32_t) = nullptr;
  // Whether the field applies with the other values as they are (e.g. the
  // transparent colour only when transparency is on); null means always.
  bool (*Applies)(const TIOParamsVals&) = nullptr;

  std::string Caption(TMsgLanguage language) const;
  bool IsEnabled(const TIOParamsVals& params) const { return !Applies || Applies(params); }
  // The value as it will be stored: booleans 0/1, integers clamped, colours
  // masked to 24 bits; false for a choice that is not offered.
  bool Normalize(int32_t& value) const;
};

// The fields of a format's saving parameters, in display order (empty for a
// format without parameters).  The list depends on `params` only where a
// choice needs a coder that is not installed (TIFF LZW is offered when an
// LZW encoder is assigned or set as the default).
std::vector<TPVSaveField> PVSaveParamFields(int32_t fileType, const TIOParamsVals& params);

// Reads / writes one field; Set refuses (false) read-only fields and values
// that Normalize refuses.
int32_t PVGetParamField(const TPVSaveField& field, const TIOParamsVals& params);
bool PVSetParamField(const TPVSaveField& field, TIOParamsVals& params, int32_t value);

// Copies every writable field of the format from one parameters object to
// another, leaving all other members of `dest` alone.
void PVCopySaveParams(int32_t fileType, const TIOParamsVals& source, TIOParamsVals& dest);

// The kinds of portable map the PXM writer produces.
enum TPVPxmKind : uint8_t { pxmBitmap, pxmGraymap, pxmPixmap };

}  // namespace pictavo
