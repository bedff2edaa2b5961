#include "win32/console_window.h"

namespace vistamere::win32 {

struct ConsoleWindow::User32 {
  HANDLE(WINAPI* load_image)(HINSTANCE, LPCWSTR, UINT, int, int, UINT);
  BOOL(WINAPI* destroy_icon)(HICON);
  LRESULT(WINAPI* send_message)(HWND, UINT, WPARAM, LPARAM, UINT, UINT, PDWORD_PTR);
  BOOL(WINAPI* show_window)(HWND, int);
  int(WINAPI* system_metrics)(int);
};

namespace {

// RT_GROUP_ICON, which the headers spell as a narrow string.
constexpr WORD kIconGroupType = 14;
const wchar_t* const kIconGroup = MAKEINTRESOURCEW(kIconGroupType);

// How long the console's host is given to take a new icon. The icons are
// given back from the control handler too, while the host may be closing
// the window and waiting for the program to end: a hung host is not waited
// for.
constexpr UINT kSendTimeoutMilliseconds = 500;

HICON SendIcon(LRESULT(WINAPI* send)(HWND, UINT, WPARAM, LPARAM, UINT, UINT, PDWORD_PTR),
               HWND window, WPARAM which, HICON icon) {
  DWORD_PTR previous = 0;
  if (send(window, WM_SETICON, which, reinterpret_cast<LPARAM>(icon), SMTO_ABORTIFHUNG,
           kSendTimeoutMilliseconds, &previous) == 0) {
    return nullptr;
  }
  return reinterpret_cast<HICON>(previous);
}

template <typename Function>
void Bind(HMODULE module, const char* name, Function& function) {
  // Through a pointer to a function of no arguments, which any function
  // pointer may be cast to and from.
  function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace

const ConsoleWindow::User32* ConsoleWindow::Functions() {
  static const User32* const functions = []() -> const User32* {
    HMODULE module = LoadLibraryW(L"user32.dll");
    if (module == nullptr) return nullptr;
    static User32 bound{};
    Bind(module, "LoadImageW", bound.load_image);
    Bind(module, "DestroyIcon", bound.destroy_icon);
    Bind(module, "SendMessageTimeoutW", bound.send_message);
    Bind(module, "ShowWindow", bound.show_window);
    Bind(module, "GetSystemMetrics", bound.system_metrics);
    if (!bound.load_image || !bound.destroy_icon || !bound.send_message || !bound.show_window ||
        !bound.system_metrics) {
      return nullptr;
    }
    return &bound;
  }();
  return functions;
}

ConsoleWindow::~ConsoleWindow() {
  RestoreIcons();
}

bool ConsoleWindow::SetIcon(int icon) {
  HMODULE program = GetModuleHandleW(nullptr);
  const auto* name = MAKEINTRESOURCEW(icon);
  if (icon < 1 || icon > 0xFFFF || FindResourceW(program, name, kIconGroup) == nullptr) {
    return false;
  }
  const HWND window = GetConsoleWindow();
  const User32* user32 = Functions();
  if (window == nullptr || user32 == nullptr || icons_set_) return true;
  big_ = static_cast<HICON>(user32->load_image(program, name, IMAGE_ICON,
                                               user32->system_metrics(SM_CXICON),
                                               user32->system_metrics(SM_CYICON), 0));
  small_ = static_cast<HICON>(user32->load_image(program, name, IMAGE_ICON,
                                                 user32->system_metrics(SM_CXSMICON),
                                                 user32->system_metrics(SM_CYSMICON), 0));
  if (big_ != nullptr) {
    old_big_ = SendIcon(user32->send_message, window, ICON_BIG, big_);
  }
  if (small_ != nullptr) {
    old_small_ = SendIcon(user32->send_message, window, ICON_SMALL, small_);
  }
  icons_set_ = true;
  return true;
}

void ConsoleWindow::Show(int state) {
  const HWND window = GetConsoleWindow();
  const User32* user32 = Functions();
  if (window != nullptr && user32 != nullptr) user32->show_window(window, state);
}

void ConsoleWindow::RestoreIcons() {
  if (!icons_set_) return;
  icons_set_ = false;
  const User32* user32 = Functions();
  const HWND window = GetConsoleWindow();
  // Our icons go with the process: the window must not keep them.
  if (window != nullptr) {
    if (big_ != nullptr) SendIcon(user32->send_message, window, ICON_BIG, old_big_);
    if (small_ != nullptr) SendIcon(user32->send_message, window, ICON_SMALL, old_small_);
  }
  if (big_ != nullptr) user32->destroy_icon(big_);
  if (small_ != nullptr) user32->destroy_icon(small_);
  big_ = small_ = nullptr;
}

}  // namespace vistamere::win32
