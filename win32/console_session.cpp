#include "win32/console_session.h"

#include <array>

namespace vistamere::win32 {
namespace {

constexpr UINT kCodePage437 = 437;
constexpr DWORD kLongestTitle = 1024;

// The one session, for the control handler.
std::atomic<ConsoleSession*> active_session{nullptr};

HANDLE OpenConsoleHandle(const wchar_t* name) {
  return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     nullptr, OPEN_EXISTING, 0, nullptr);
}

}  // namespace

std::unique_ptr<ConsoleSession> ConsoleSession::Open(std::string& error) {
  // The console's own handles, whatever standard input and output were
  // redirected to.
  HANDLE input = OpenConsoleHandle(L"CONIN$");
  HANDLE output = OpenConsoleHandle(L"CONOUT$");
  if (input == INVALID_HANDLE_VALUE || output == INVALID_HANDLE_VALUE) {
    if (input != INVALID_HANDLE_VALUE) CloseHandle(input);
    if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
    error = "no console to run in (start it from a console window)";
    return nullptr;
  }
  return std::unique_ptr<ConsoleSession>(new ConsoleSession(input, output));
}

ConsoleSession::ConsoleSession(HANDLE input, HANDLE output)
    : input_(input), output_(output), screen_(output) {
  GetConsoleMode(input_, &input_mode_);
  GetConsoleMode(output_, &output_mode_);
  input_code_page_ = GetConsoleCP();
  output_code_page_ = GetConsoleOutputCP();
  std::array<wchar_t, kLongestTitle> title{};
  const DWORD length = GetConsoleTitleW(title.data(), static_cast<DWORD>(title.size()));
  title_.assign(title.data(), length);

  // A screen buffer of our own, as a terminal's alternate screen: what the
  // console showed before comes back at the end.
  HANDLE screen =
      CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, CONSOLE_TEXTMODE_BUFFER, nullptr);
  if (screen != INVALID_HANDLE_VALUE) {
    if (SetConsoleActiveScreenBuffer(screen)) {
      screen_ = screen;
    } else {
      CloseHandle(screen);
    }
  }
  SetConsoleMode(input_, ENABLE_WINDOW_INPUT);
  SetConsoleMode(screen_, ENABLE_PROCESSED_OUTPUT);
  SetConsoleCP(kCodePage437);
  SetConsoleOutputCP(kCodePage437);
  active_session = this;
  SetConsoleCtrlHandler(&ConsoleSession::OnControl, TRUE);
}

ConsoleSession::~ConsoleSession() {
  Restore();
  SetConsoleCtrlHandler(&ConsoleSession::OnControl, FALSE);
  active_session = nullptr;
  if (screen_ != output_) CloseHandle(screen_);
  CloseHandle(output_);
  CloseHandle(input_);
}

void ConsoleSession::Restore() {
  if (restored_.exchange(true)) return;
  if (screen_ != output_) SetConsoleActiveScreenBuffer(output_);
  SetConsoleMode(input_, input_mode_);
  SetConsoleMode(output_, output_mode_);
  SetConsoleCP(input_code_page_);
  SetConsoleOutputCP(output_code_page_);
  SetConsoleTitleW(title_.c_str());
  window_.RestoreIcons();
}

BOOL WINAPI ConsoleSession::OnControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      // Ends the program at once, as the terminal build does on Ctrl+Backslash.
      if (ConsoleSession* session = active_session.load()) session->Restore();
      ExitProcess(0);
    default:
      return FALSE;
  }
}

}  // namespace vistamere::win32
