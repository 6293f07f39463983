// The single-line edit control driven by keys through the desktop.
#include "platform/edit.h"

#include <gtest/gtest.h>

#include "tests/platform/control_test_util.h"

namespace pictavo {
namespace {

using testing::DesktopTest;

class EditTest : public DesktopTest {
 protected:
  void SetUp() override {
    DesktopTest::SetUp();
    edit.SetBounds(10, 10, 100, 20);
    Desktop().AddWindow(&edit);
    edit.OnChange = [this](TObject*) { ++changes; };
    Desktop().Click(Point(20, 20));
  }
  TEdit edit;
  int changes = 0;
};

TEST_F(EditTest, TypingInsertsAtTheCaretAndBackspaceRemoves) {
  ASSERT_TRUE(edit.Focused());
  Desktop().TypeText("héllo");
  EXPECT_EQ(edit.GetText(), "héllo");
  EXPECT_EQ(edit.GetSelStart(), 5);
  Desktop().TypeKey(VK_LEFT);  // arrows reach the edit: it asks for them
  Desktop().TypeKey(VK_LEFT);
  Desktop().TypeKey(VK_BACK);
  EXPECT_EQ(edit.GetText(), "hélo");
  Desktop().TypeText("X");
  EXPECT_EQ(edit.GetText(), "héXlo");
  Desktop().TypeKey(VK_HOME);
  Desktop().TypeKey(VK_DELETE);
  EXPECT_EQ(edit.GetText(), "éXlo");
  Desktop().TypeKey(VK_BACK);  // at the start: nothing
  EXPECT_EQ(edit.GetText(), "éXlo");
  EXPECT_EQ(changes, 8);  // five characters, backspace, X, delete
}

TEST_F(EditTest, ShiftExtendsTheSelectionAndTypingReplacesIt) {
  edit.SetText("abcdef");
  changes = 0;
  Desktop().TypeKey(VK_END);
  Desktop().TypeKey(VK_LEFT, TShiftState{ssShift});
  Desktop().TypeKey(VK_LEFT, TShiftState{ssShift});
  EXPECT_EQ(edit.GetSelStart(), 4);
  EXPECT_EQ(edit.GetSelLength(), 2);
  EXPECT_EQ(edit.GetSelText(), "ef");
  Desktop().TypeText("Z");
  EXPECT_EQ(edit.GetText(), "abcdZ");
  Desktop().TypeKey(VK_HOME, TShiftState{ssShift});  // from the caret at 5 back to 0
  EXPECT_EQ(edit.GetSelText(), "abcdZ");
  Desktop().TypeKey(VK_RIGHT);  // collapses to the selection's end
  EXPECT_EQ(edit.GetSelStart(), 5);
  EXPECT_EQ(edit.GetSelLength(), 0);
  edit.SelectAll();
  Desktop().TypeKey(VK_DELETE);
  EXPECT_EQ(edit.GetText(), "");
  EXPECT_EQ(changes, 2);
}

TEST_F(EditTest, MaxLengthAndReadOnlyLimitEditing) {
  edit.SetMaxLength(3);
  Desktop().TypeText("abcd");
  EXPECT_EQ(edit.GetText(), "abc");
  edit.SetText("wxyz");
  EXPECT_EQ(edit.GetText(), "wxy");
  edit.SetReadOnly(true);
  Desktop().TypeText("q");
  Desktop().TypeKey(VK_BACK);
  EXPECT_EQ(edit.GetText(), "wxy");
  // Return and Escape belong to the dialog: the edit does not ask for them.
  EXPECT_FALSE(Desktop().KeyDown(VK_RETURN));
}

TEST(EditTextTest, Utf8RoundTripAndInvalidBytes) {
  std::string s = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // a, é, €, an emoji
  std::u32string c = Utf8ToChars(s);
  EXPECT_EQ(c, (std::u32string{U'a', 0xE9, 0x20AC, 0x1F600}));
  EXPECT_EQ(CharsToUtf8(c), s);
  // A lead byte without its continuation stands for itself.
  EXPECT_EQ(Utf8ToChars("\xC3"
                        "A"),
            (std::u32string{0xC3, U'A'}));
}

}  // namespace
}  // namespace pictavo
