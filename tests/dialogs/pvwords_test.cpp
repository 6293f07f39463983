#include "dialogs/pvwords.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace pictavo {
namespace {

// Decodes UTF-8 strictly (no overlongs, no surrogates, nothing above
// U+10FFFF); nullopt for malformed text.
std::optional<std::vector<char32_t>> DecodeUtf8(const std::string& s) {
  std::vector<char32_t> out;
  size_t i = 0;
  while (i < s.size()) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    int extra;
    char32_t cp;
    char32_t min;
    if (b < 0x80) {
      extra = 0, cp = b, min = 0;
    } else if ((b & 0xE0) == 0xC0) {
      extra = 1, cp = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2, cp = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3, cp = b & 0x07, min = 0x10000;
    } else {
      return std::nullopt;
    }
    if (i + extra >= s.size()) return std::nullopt;
    for (int k = 1; k <= extra; ++k) {
      unsigned char c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) return std::nullopt;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    out.push_back(cp);
    i += extra + 1;
  }
  return out;
}

TEST(PVWordsUtf8Checker, RejectsMalformedText) {
  EXPECT_TRUE(DecodeUtf8("abc").has_value());
  EXPECT_FALSE(DecodeUtf8("\xC3").has_value());          // cut short
  EXPECT_FALSE(DecodeUtf8("\xC0\xAF").has_value());      // overlong
  EXPECT_FALSE(DecodeUtf8("\xED\xA0\x80").has_value());  // surrogate
  EXPECT_FALSE(DecodeUtf8("\xE0\x41\x41").has_value());  // bad continuation
  EXPECT_FALSE(DecodeUtf8("\xFF").has_value());
  // 0xFC in code page 1251 is a Cyrillic letter, not valid UTF-8 on its own.
  EXPECT_FALSE(DecodeUtf8("\xCF\xF0\xEE").has_value());
  auto cp = DecodeUtf8("\xC3\xA9\xE2\x82\xAC");
  ASSERT_TRUE(cp.has_value());
  EXPECT_EQ(*cp, (std::vector<char32_t>{0xE9, 0x20AC}));
}

// Saves and restores the locale variables and the word table around a test.
class PVWords : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kVars) {
      const char* v = std::getenv(name);
      saved_.push_back(v ? std::optional<std::string>(v) : std::nullopt);
      unsetenv(name);
    }
  }
  void TearDown() override {
    for (size_t i = 0; i < saved_.size(); ++i) {
      if (saved_[i])
        setenv(kVars[i], saved_[i]->c_str(), 1);
      else
        unsetenv(kVars[i]);
    }
    PVSetDefaultTranslationWords();
    for (int w = 0; w < kPVMsgWordCount; ++w)
      PVSetTranslationWord(msUser, static_cast<TMsgLanguageWords>(w), "");
  }
  static void SetLocale(const char* value) { setenv("LANG", value, 1); }

  static constexpr const char* kVars[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  std::vector<std::optional<std::string>> saved_;
};

TEST_F(PVWords, EnglishRowIsTheDocumentedText) {
  EXPECT_EQ(pvmsg(PVMSG_PREVIEW, msEnglish), "Preview");
  EXPECT_EQ(pvmsg(PVMSG_COPYRESULTTOSOURCE, msEnglish), "Copy Result to Source");
  EXPECT_EQ(pvmsg(PVMSG_SCANNDEDDOCUMENTINFO, msEnglish), "Scanned document info");
  EXPECT_EQ(pvmsg(PVMSG_OF, msEnglish), "of");
  EXPECT_EQ(pvmsg(PVMSG_HORIZPOSITIONINCH, msEnglish), "Horiz. Position (inch)");
  EXPECT_EQ(pvmsg(PVMSG_MORPHFILTER, msEnglish), "Morphing filters");
  EXPECT_EQ(pvmsg(PVMSG_OPEN, msEnglish), "Opening");
  EXPECT_EQ(pvmsg(PVMSG_CLOSE, msEnglish), "Closing");
  EXPECT_EQ(pvmsg(PVMSG_SELECTTHEREGIONTOCLEAR, msEnglish), "Select the region to clean");
  EXPECT_EQ(pvmsg(pVMSG_ANIMATE, msEnglish), "Animate");
  // The keys keep their ordinals.
  EXPECT_EQ(static_cast<int>(PVMSG_QUALITY), 38);
  EXPECT_EQ(static_cast<int>(PVMSG_FILTER), 66);
  EXPECT_EQ(static_cast<int>(pVMSG_ANIMATE), 87);
  EXPECT_EQ(static_cast<int>(msUser), 9);
}

TEST_F(PVWords, SampleRowOfEveryTranslation) {
  struct Row {
    TMsgLanguage lang;
    const char* preview;
    const char* cancel;
    const char* reset;
  };
  const Row rows[] = {
      {msItalian, "Anteprima", "Annulla", "Ripristina"},
      {msGerman, "Vorschau", "Abbrechen",
       "Zur\xC3\xBC"
       "cksetzen"},
      {msSpanish, "Vista Previa", "Cancelar", "Reponer"},
      {msFrench, "Pr\xC3\xA9visualisation", "Annuler", "R\xC3\xA9-initialiser"},
      {msPortuguese, "Visualizar", "Cancelar", "Reajustar"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(static_cast<int>(r.lang));
    EXPECT_EQ(pvmsg(PVMSG_PREVIEW, r.lang), r.preview);
    EXPECT_EQ(pvmsg(PVMSG_CANCEL, r.lang), r.cancel);
    EXPECT_EQ(pvmsg(PVMSG_RESET, r.lang), r.reset);
  }
  // Greek and Russian are UTF-8 text: check the code points themselves.
  auto cps = [](TMsgLanguageWords w, TMsgLanguage l) { return *DecodeUtf8(pvmsg(w, l)); };
  using V = std::vector<char32_t>;
  EXPECT_EQ(cps(PVMSG_PREVIEW, msGreek), (V{0x3A0, 0x3C1, 0x3BF, 0x3B5, 0x3C0, 0x3B9, 0x3C3, 0x3BA,
                                            0x3CC, 0x3C0, 0x3B7, 0x3C3, 0x3B7}));
  EXPECT_EQ(cps(PVMSG_CANCEL, msGreek), (V{0x386, 0x3BA, 0x3C5, 0x3C1, 0x3BF}));
  EXPECT_EQ(cps(PVMSG_RESET, msGreek),
            (V{0x395, 0x3C0, 0x3B1, 0x3BD, 0x3B1, 0x3C6, 0x3BF, 0x3C1, 0x3AC}));
  EXPECT_EQ(cps(PVMSG_PREVIEW, msRussian),
            (V{0x41F, 0x440, 0x43E, 0x441, 0x43C, 0x43E, 0x442, 0x440}));
  EXPECT_EQ(cps(PVMSG_CANCEL, msRussian), (V{0x41E, 0x442, 0x43C, 0x435, 0x43D, 0x430}));
  EXPECT_EQ(cps(PVMSG_RESET, msRussian), (V{0x421, 0x431, 0x440, 0x43E, 0x441}));
}

TEST_F(PVWords, EveryBuiltinRowIsCompleteValidUtf8) {
  for (int l = msEnglish; l <= msRussian; ++l) {
    for (int w = 0; w < kPVMsgWordCount; ++w) {
      SCOPED_TRACE(testing::Message() << "language " << l << " word " << w);
      // Named explicitly, an empty word would fall back to English; under the
      // system locale of that language the row itself is returned.
      std::string text = pvmsg(static_cast<TMsgLanguageWords>(w), static_cast<TMsgLanguage>(l));
      EXPECT_FALSE(text.empty());
      EXPECT_TRUE(DecodeUtf8(text).has_value());
      EXPECT_EQ(text.find('\0'), std::string::npos);
    }
  }
  // Through the locale, so that a row leaning on the English fallback shows.
  const char* locales[] = {"it_IT", "de_DE", "es_ES", "fr_FR", "pt_PT", "el_GR", "ru_RU"};
  for (const char* loc : locales) {
    SetLocale(loc);
    for (int w = 0; w < kPVMsgWordCount; ++w)
      EXPECT_FALSE(pvmsg(static_cast<TMsgLanguageWords>(w), msSystem).empty()) << loc << " " << w;
  }
}

TEST_F(PVWords, TranslatedRowsAreTranslated) {
  // Words that stay the same in a language are allowed, but a row copied from
  // English would show here: at least three quarters of each row differ.
  for (int l = msItalian; l <= msRussian; ++l) {
    int differing = 0;
    for (int w = 0; w < kPVMsgWordCount; ++w) {
      auto word = static_cast<TMsgLanguageWords>(w);
      if (pvmsg(word, static_cast<TMsgLanguage>(l)) != pvmsg(word, msEnglish)) ++differing;
    }
    EXPECT_GE(differing, kPVMsgWordCount * 3 / 4) << "language " << l;
  }
  // Greek and Russian words that are not abbreviations or names use their
  // own alphabets.
  for (TMsgLanguage l : {msGreek, msRussian}) {
    char32_t lo = l == msGreek ? 0x370 : 0x400;
    char32_t hi = l == msGreek ? 0x3FF : 0x4FF;
    for (TMsgLanguageWords w : {PVMSG_SOURCE, PVMSG_HISTOGRAM, PVMSG_WIDTH, PVMSG_CLEAR}) {
      auto cp = *DecodeUtf8(pvmsg(w, l));
      EXPECT_TRUE(cp[0] >= lo && cp[0] <= hi) << "language " << int(l) << " word " << int(w);
    }
  }
}

TEST_F(PVWords, AnimateWordOfTheBuiltinRows) {
  EXPECT_EQ(pvmsg(pVMSG_ANIMATE, msItalian), "Animazione");
  for (TMsgLanguage l :
       {msEnglish, msGerman, msSpanish, msFrench, msPortuguese, msGreek, msRussian})
    EXPECT_EQ(pvmsg(pVMSG_ANIMATE, l), "Animate") << int(l);
}

TEST_F(PVWords, UserLanguageFallsBackToEnglishForEveryKey) {
  for (int w = 0; w < kPVMsgWordCount; ++w) {
    auto word = static_cast<TMsgLanguageWords>(w);
    EXPECT_EQ(pvmsg(word, msUser), pvmsg(word, msEnglish)) << w;
  }
  PVSetTranslationWord(msUser, PVMSG_SAVE, "Sichern!");
  EXPECT_EQ(pvmsg(PVMSG_SAVE, msUser), "Sichern!");
  EXPECT_EQ(pvmsg(PVMSG_LOAD, msUser), "Load");
}

TEST_F(PVWords, SystemLanguageFollowsTheLocale) {
  SetLocale("it_IT.UTF-8");
  EXPECT_EQ(pvmsg(PVMSG_PREVIEW, msSystem), "Anteprima");
  SetLocale("ja_JP.UTF-8");
  EXPECT_EQ(pvmsg(PVMSG_PREVIEW, msSystem), "Preview");
  SetLocale("de_AT@euro");
  EXPECT_EQ(pvmsg(PVMSG_CANCEL, msSystem), "Abbrechen");
  SetLocale("ru_RU.KOI8-R");
  EXPECT_EQ(pvmsg(PVMSG_PREVIEW, msSystem), pvmsg(PVMSG_PREVIEW, msRussian));
  for (const char* loc : {"C", "POSIX", "C.UTF-8", "en_US.UTF-8"}) {
    SetLocale(loc);
    EXPECT_EQ(pvmsg(PVMSG_PREVIEW, msSystem), "Preview") << loc;
  }
  unsetenv("LANG");
  EXPECT_EQ(pvmsg(PVMSG_PREVIEW, msSystem), "Preview");
}

TEST_F(PVWords, ClearedWordUnderSystemLocaleIsEmptyButNamedIsEnglish) {
  SetLocale("fr_FR.UTF-8");
  PVSetTranslationWord(msFrench, PVMSG_HUE, "");
  EXPECT_EQ(pvmsg(PVMSG_HUE, msSystem), "");
  EXPECT_EQ(pvmsg(PVMSG_HUE, msFrench), "Hue");
  // Other words of the row are untouched.
  EXPECT_EQ(pvmsg(PVMSG_SATURATION, msSystem), "Saturation");
  EXPECT_EQ(pvmsg(PVMSG_CANCEL, msSystem), "Annuler");
  // Restoring the built-in words brings the word back.
  PVSetDefaultTranslationWords();
  EXPECT_EQ(pvmsg(PVMSG_HUE, msFrench), "Teinte");
}

TEST_F(PVWords, ReplacedWordsAndIgnoredTargets) {
  PVSetTranslationWord(msGerman, PVMSG_OK, "Jawohl");
  EXPECT_EQ(pvmsg(PVMSG_OK, msGerman), "Jawohl");
  // msSystem has no row: nothing is stored anywhere.
  PVSetTranslationWord(msSystem, PVMSG_OK, "nowhere");
  for (int l = msEnglish; l <= msUser; ++l)
    EXPECT_NE(pvmsg(PVMSG_OK, static_cast<TMsgLanguage>(l)), "nowhere");
  // Out-of-range keys and languages are refused rather than written past the table.
  PVSetTranslationWord(msItalian, static_cast<TMsgLanguageWords>(88), "x");
  PVSetTranslationWord(static_cast<TMsgLanguage>(10), PVMSG_OK, "x");
  EXPECT_EQ(pvmsg(static_cast<TMsgLanguageWords>(88), msEnglish), "");
  EXPECT_EQ(pvmsg(PVMSG_OK, static_cast<TMsgLanguage>(10)), "OK");
  // Resetting the defaults restores the built-in rows and keeps the user row.
  PVSetTranslationWord(msUser, PVMSG_OK, "Okidoki");
  PVSetDefaultTranslationWords();
  EXPECT_EQ(pvmsg(PVMSG_OK, msGerman), "OK");
  EXPECT_EQ(pvmsg(PVMSG_OK, msUser), "Okidoki");
}

TEST_F(PVWords, LocaleVariablePrecedence) {
  setenv("LANG", "de_DE.UTF-8", 1);
  EXPECT_EQ(PVMessagesLocale(), "de_DE.UTF-8");
  EXPECT_EQ(PVSystemMsgLanguage(), msGerman);
  setenv("LC_MESSAGES", "es_ES.UTF-8", 1);
  EXPECT_EQ(PVSystemMsgLanguage(), msSpanish);
  setenv("LC_ALL", "pt_BR.UTF-8", 1);
  EXPECT_EQ(PVSystemMsgLanguage(), msPortuguese);
  EXPECT_EQ(pvmsg(PVMSG_PREVIEW, msSystem), "Visualizar");
  // An empty variable counts as unset.
  setenv("LC_ALL", "", 1);
  EXPECT_EQ(PVSystemMsgLanguage(), msSpanish);
  setenv("LC_MESSAGES", "", 1);
  EXPECT_EQ(PVSystemMsgLanguage(), msGerman);
  // "C" is a setting: it stops the search and means English.
  setenv("LC_MESSAGES", "C", 1);
  EXPECT_EQ(PVMessagesLocale(), "C");
  EXPECT_EQ(PVSystemMsgLanguage(), msEnglish);
  unsetenv("LC_MESSAGES");
  unsetenv("LANG");
  EXPECT_EQ(PVMessagesLocale(), "");
}

TEST_F(PVWords, LocaleNameParsing) {
  EXPECT_EQ(PVLanguageOfLocale("it_IT.UTF-8"), msItalian);
  EXPECT_EQ(PVLanguageOfLocale("it"), msItalian);
  EXPECT_EQ(PVLanguageOfLocale("IT_it"), msItalian);
  EXPECT_EQ(PVLanguageOfLocale("el_GR.UTF-8"), msGreek);
  EXPECT_EQ(PVLanguageOfLocale("fr_CA.ISO-8859-1@euro"), msFrench);
  EXPECT_EQ(PVLanguageOfLocale("es.UTF-8"), msSpanish);
  EXPECT_EQ(PVLanguageOfLocale("C"), msEnglish);
  EXPECT_EQ(PVLanguageOfLocale("POSIX"), msEnglish);
  EXPECT_EQ(PVLanguageOfLocale(""), msEnglish);
  EXPECT_EQ(PVLanguageOfLocale("ja_JP.UTF-8"), msEnglish);
  // A longer code that merely starts with a known one is another language.
  EXPECT_EQ(PVLanguageOfLocale("itl_XX"), msEnglish);
  EXPECT_EQ(PVLanguageOfLocale("rue_UA"), msEnglish);
}

}  // namespace
}  // namespace pictavo
