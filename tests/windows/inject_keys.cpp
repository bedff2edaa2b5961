// Puts exact key records into the console of a running program, as if its
// user had pressed the keys: inject_keys PROGRAM.EXE KEY...
// Each KEY is SCAN:CHAR:STATE in hex (scan code, character, control-key
// state) and becomes a press and a release; the release of a modifier key
// carries the state without that modifier.
#include <windows.h>
// After windows.h, whose types it uses.
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

DWORD ProcessIdOf(const wchar_t* name) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  DWORD id = 0;
  for (BOOL more = Process32FirstW(snapshot, &entry); more && id == 0;
       more = Process32NextW(snapshot, &entry)) {
    if (_wcsicmp(entry.szExeFile, name) == 0) id = entry.th32ProcessID;
  }
  CloseHandle(snapshot);
  return id;
}

bool ParseKey(const wchar_t* text, KEY_EVENT_RECORD& key) {
  unsigned scan = 0;
  unsigned character = 0;
  unsigned long state = 0;
  if (std::swscanf(text, L"%x:%x:%lx", &scan, &character, &state) != 3) return false;
  key.bKeyDown = TRUE;
  key.wRepeatCount = 1;
  key.wVirtualScanCode = static_cast<WORD>(scan);
  key.wVirtualKeyCode = static_cast<WORD>(MapVirtualKeyW(scan, MAPVK_VSC_TO_VK));
  key.uChar.UnicodeChar = static_cast<WCHAR>(character);
  key.dwControlKeyState = state;
  return true;
}

// The state a modifier key's own release leaves.
DWORD StateAfterRelease(const KEY_EVENT_RECORD& key) {
  switch (key.wVirtualScanCode) {
    case 0x2A:
    case 0x36:
      return key.dwControlKeyState & ~static_cast<DWORD>(SHIFT_PRESSED);
    case 0x1D:
      return key.dwControlKeyState & ~static_cast<DWORD>(LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED);
    case 0x38:
      return key.dwControlKeyState & ~static_cast<DWORD>(LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED);
    default:
      return key.dwControlKeyState;
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fputs("usage: inject_keys PROGRAM.EXE SCAN:CHAR:STATE...\n", stderr);
    return 2;
  }
  std::vector<INPUT_RECORD> records;
  for (int i = 2; i < argc; ++i) {
    INPUT_RECORD record{};
    record.EventType = KEY_EVENT;
    if (!ParseKey(argv[i], record.Event.KeyEvent)) {
      std::fprintf(stderr, "inject_keys: not SCAN:CHAR:STATE: %ls\n", argv[i]);
      return 2;
    }
    records.push_back(record);
    record.Event.KeyEvent.bKeyDown = FALSE;
    record.Event.KeyEvent.dwControlKeyState = StateAfterRelease(record.Event.KeyEvent);
    records.push_back(record);
  }
  const DWORD id = ProcessIdOf(argv[1]);
  if (id == 0) {
    std::fprintf(stderr, "inject_keys: no process %ls\n", argv[1]);
    return 1;
  }
  FreeConsole();
  if (!AttachConsole(id)) {
    std::fprintf(stderr, "inject_keys: cannot attach to the console of %lu (error %lu)\n",
                 static_cast<unsigned long>(id), static_cast<unsigned long>(GetLastError()));
    return 1;
  }
  HANDLE input =
      CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD written = 0;
  const bool done =
      input != INVALID_HANDLE_VALUE &&
      WriteConsoleInputW(input, records.data(), static_cast<DWORD>(records.size()), &written) &&
      written == records.size();
  return done ? 0 : 1;
}
