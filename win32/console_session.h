// The console the program runs in, for as long as it runs: its input and
// output handles, the modes that make every key a record (no line editing,
// no echo, Ctrl+C a key like any other), code page 437, and a screen buffer
// of the program's own. Everything is given back when the session ends, and
// also when Ctrl+Break or closing the console ends the process at once:
// the title, and the window's icons where the program set its own.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "win32/console_window.h"

namespace vistamere::win32 {

class ConsoleSession {
 public:
  // Null, with `error` saying why, when the process has no console.
  [[nodiscard]] static std::unique_ptr<ConsoleSession> Open(std::string& error);
  ~ConsoleSession();
  ConsoleSession(const ConsoleSession&) = delete;
  ConsoleSession& operator=(const ConsoleSession&) = delete;

  HANDLE input() const { return input_; }
  HANDLE output() const { return screen_; }
  ConsoleWindow& window() { return window_; }

  // Gives the console back as it was; later calls do nothing. Safe from
  // the console's control thread.
  void Restore();

 private:
  ConsoleSession(HANDLE input, HANDLE output);
  static BOOL WINAPI OnControl(DWORD event);

  HANDLE input_;
  HANDLE output_;  // the screen buffer that was active
  HANDLE screen_;  // ours, or output_ when the console gave none
  DWORD input_mode_ = 0;
  DWORD output_mode_ = 0;
  UINT input_code_page_ = 0;
  UINT output_code_page_ = 0;
  std::wstring title_;
  ConsoleWindow window_;
  std::atomic<bool> restored_{false};
};

}  // namespace vistamere::win32
