// The console's window, where the console has one: its icon and its state.
// The window belongs to the console's host, which may not have one (a
// console in a terminal) or may keep its state to itself; then these do
// nothing. user32 is loaded when first needed, so that the program imports
// no more than the console needs.
#pragma once

#include <windows.h>

namespace vistamere::win32 {

class ConsoleWindow {
 public:
  ConsoleWindow() = default;
  ~ConsoleWindow();
  ConsoleWindow(const ConsoleWindow&) = delete;
  ConsoleWindow& operator=(const ConsoleWindow&) = delete;

  // The window's large and small icons from the program's icon resource
  // `icon`. False when the program has no such icon.
  bool SetIcon(int icon);
  // ShowWindow with `state` (SW_SHOW, SW_MAXIMIZE, ...).
  void Show(int state);
  // Gives the window back the icons it had. Safe from the console's control
  // thread; later calls do nothing.
  void RestoreIcons();

 private:
  struct User32;
  static const User32* Functions();

  HICON big_ = nullptr;  // ours, while the window shows them
  HICON small_ = nullptr;
  HICON old_big_ = nullptr;
  HICON old_small_ = nullptr;
  bool icons_set_ = false;
};

}  // namespace vistamere::win32
