// Helpers of the window-layer tests: a control that logs every call it
// receives, and a fixture that starts from a clean headless desktop.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/app.h"
#include "platform/control.h"
#include "platform/desktop.h"

namespace pictavo::testing {

inline std::string ShiftText(TShiftState s) {
  std::string t;
  if (s.Contains(ssShift)) t += 'S';
  if (s.Contains(ssCtrl)) t += 'C';
  if (s.Contains(ssAlt)) t += 'A';
  if (s.Contains(ssLeft)) t += 'L';
  if (s.Contains(ssRight)) t += 'R';
  if (s.Contains(ssMiddle)) t += 'M';
  if (s.Contains(ssDouble)) t += 'D';
  return t;
}

inline const char* ButtonText(TMouseButton b) {
  return b == mbLeft ? "left" : b == mbRight ? "right" : "middle";
}

// Logs calls as "down left 10,10 L", "move 5,6 L", "up left 1,2 ", "wheel -120 3,4",
// "key 65", "char 97", "keyup 65", "enter", "exit", "dbl", "click", "scroll v 1 0",
// "resize 80x60", "paint".
class LogControl : public TCustomControl {
 public:
  explicit LogControl(TComponent* owner = nullptr) : TCustomControl(owner) {}
  std::vector<std::string> log;
  bool want_arrows = false;

  void Clear() { log.clear(); }

  void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
    Add("down " + std::string(ButtonText(b)) + " " + Pt(x, y) + " " + ShiftText(s));
  }
  void MouseMove(TShiftState s, int x, int y) override {
    Add("move " + Pt(x, y) + " " + ShiftText(s));
  }
  void MouseUp(TMouseButton b, TShiftState s, int x, int y) override {
    Add("up " + std::string(ButtonText(b)) + " " + Pt(x, y) + " " + ShiftText(s));
  }
  void DblClick() override { Add("dbl"); }
  void Click() override {
    Add("click");
    TCustomControl::Click();
  }
  void MouseWheel(TShiftState s, int d, int x, int y) override {
    Add("wheel " + std::to_string(d) + " " + Pt(x, y) + " " + ShiftText(s));
  }
  void KeyDown(uint16_t& k, TShiftState s) override {
    Add("key " + std::to_string(k) + " " + ShiftText(s));
  }
  void KeyUp(uint16_t& k, TShiftState) override { Add("keyup " + std::to_string(k)); }
  void KeyPress(char32_t& c) override { Add("char " + std::to_string(uint32_t(c))); }
  void DoEnter() override { Add("enter"); }
  void DoExit() override { Add("exit"); }
  bool WantSpecialKey(uint16_t k, TShiftState s) override {
    if (want_arrows && k >= VK_LEFT && k <= VK_DOWN) return true;
    return TCustomControl::WantSpecialKey(k, s);
  }
  void WMHScroll(int code, int pos) override {
    Add("scroll h " + std::to_string(code) + " " + std::to_string(pos));
  }
  void WMVScroll(int code, int pos) override {
    Add("scroll v " + std::to_string(code) + " " + std::to_string(pos));
  }
  void Resize() override {
    Add("resize " + std::to_string(GetClientWidth()) + "x" + std::to_string(GetClientHeight()));
  }

 private:
  static std::string Pt(int x, int y) { return std::to_string(x) + "," + std::to_string(y); }
  void Add(const std::string& s) { log.push_back(s); }
};

// Every test starts with an empty desktop on the manual clock.
class DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override { Desktop().Reset(); }
  void TearDown() override {
    Desktop().Reset();
    Application().UseManualClock(false);
  }
};

}  // namespace pictavo::testing
