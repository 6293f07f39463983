// The words of the library's own dialogs: one table of captions indexed by
// language and word key.  The built-in rows (English and seven translations,
// all UTF-8) are filled when the library loads; an application may replace
// any word and may fill the user language.  Dialogs fetch every caption with
// pvmsg, which for msSystem picks the row from the process locale
// (LC_ALL, then LC_MESSAGES, then LANG).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pictavo {

enum TMsgLanguage : uint8_t {
  msSystem,
  msEnglish,
  msItalian,
  msGerman,
  msSpanish,
  msFrench,
  msPortuguese,
  msGreek,
  msRussian,
  msUser
};

// Word keys, ordinals 0..87.  The last one is spelt with a lower-case p.
enum TMsgLanguageWords : uint8_t {
  PVMSG_PREVIEW,
  PVMSG_SOURCE,
  PVMSG_RESULT,
  PVMSG_OK,
  PVMSG_CANCEL,
  PVMSG_LOCKPREVIEW,
  PVMSG_COPYRESULTTOSOURCE,
  PVMSG_CONTRAST,
  PVMSG_BRIGHTNESS,
  PVMSG_HUE,
  PVMSG_SATURATION,
  PVMSG_VALUE,
  PVMSG_BASECOLOR,
  PVMSG_NEWCOLOR,
  PVMSG_LUMINOSITY,
  PVMSG_RED,
  PVMSG_GREEN,
  PVMSG_BLUE,
  PVMSG_FILTERVALUES,
  PVMSG_PRESETS,
  PVMSG_DIVISOR,
  PVMSG_LOAD,
  PVMSG_SAVE,
  PVMSG_EQUALIZATION,
  PVMSG_THRESHOLD,
  PVMSG_EQUALIZE,
  PVMSG_HISTOGRAM,
  PVMSG_GRAY,
  PVMSG_LIGHT,
  PVMSG_LEFT,
  PVMSG_TOP,
  PVMSG_WIDTH,
  PVMSG_HEIGHT,
  PVMSG_COLOR,
  PVMSG_SOURCEIMAGEQUANTITY,
  PVMSG_LENS,
  PVMSG_REFRACTION,
  PVMSG_PARAMETERSPREVIEW,
  PVMSG_QUALITY,
  PVMSG_DCTMETHOD,
  PVMSG_SMOOTHINGFACTOR,
  PVMSG_GRAYSCALE,
  PVMSG_OPTIMALHUFFMAN,
  PVMSG_ORIGINALSIZE,
  PVMSG_COMPRESSEDSIZE,
  PVMSG_ADVANCED,
  PVMSG_PROGRESSIVE,
  PVMSG_COMPRESSION,
  PVMSG_IMAGEINDEX,
  PVMSG_PHOTOMETRIC,
  PVMSG_SCANNDEDDOCUMENTINFO,
  PVMSG_NAME,
  PVMSG_DESCRIPTION,
  PVMSG_PAGENAME,
  PVMSG_PAGENUMBER,
  PVMSG_OF,
  PVMSG_HORIZPOSITIONINCH,
  PVMSG_VERTPOSITIONINCH,
  PVMSG_COLORS,
  PVMSG_TRANSPARENT,
  PVMSG_TRANSPARENTCOLOR,
  PVMSG_INTERLACED,
  PVMSG_BACKGROUND,
  PVMSG_HORIZPOSITION,
  PVMSG_VERTPOSITION,
  PVMSG_DELAYTIME,
  PVMSG_FILTER,
  PVMSG_WAVE,
  PVMSG_AMPLITUDE,
  PVMSG_WAVELENGTH,
  PVMSG_PHASE,
  PVMSG_REFLECTIVE,
  PVMSG_USERFILTER,
  PVMSG_MORPHFILTER,
  PVMSG_WINDOWSIZE,
  PVMSG_MAXIMUM,
  PVMSG_MINIMUM,
  PVMSG_OPEN,
  PVMSG_CLOSE,
  PVMSG_ROTATE,
  PVMSG_FLIP,
  PVMSG_FLIPHOR,
  PVMSG_FLIPVER,
  PVMSG_FREQUENCYDOMAINIMAGE,
  PVMSG_SELECTTHEREGIONTOCLEAR,
  PVMSG_CLEAR,
  PVMSG_RESET,
  pVMSG_ANIMATE
};

inline constexpr int kPVMsgWordCount = 88;
// Rows of the table: msEnglish .. msUser (msSystem has no row).
inline constexpr int kPVMsgLanguageRows = 9;

// Stores text (UTF-8) for a concrete language; msSystem (no row) and keys
// outside the table are ignored.
void PVSetTranslationWord(TMsgLanguage language, TMsgLanguageWords word, const std::string& text);

// The caption of `word` in `language`:
//   a concrete language: its word, or the English word when that is empty;
//   msSystem: the word of the locale's row (even when empty) for a locale of
//   one of the seven translated languages, else the English word.
std::string pvmsg(TMsgLanguageWords word, TMsgLanguage language);

// Fills the eight built-in rows (the user row is left alone).  Runs once
// when the library loads; calling it again restores the built-in words.
void PVSetDefaultTranslationWords();

// The translated row chosen for a locale name such as "it_IT.UTF-8", "de",
// "pt_BR@euro": one of msItalian, msGerman, msSpanish, msFrench,
// msPortuguese, msGreek, msRussian, or msEnglish for any other locale
// ("C", "POSIX", "", "ja_JP.UTF-8", "en_GB").
TMsgLanguage PVLanguageOfLocale(std::string_view locale);

// The locale name that governs messages: the first of LC_ALL, LC_MESSAGES,
// LANG that is set and not empty; "" when none is.
std::string PVMessagesLocale();

// PVLanguageOfLocale(PVMessagesLocale()).
TMsgLanguage PVSystemMsgLanguage();

}  // namespace pictavo
