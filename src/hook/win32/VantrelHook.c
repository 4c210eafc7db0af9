/* Vantrel.dll: a system-wide shell hook that catches the Messenger service's
 * pop-ups when they are activated, closes them and sends their text to the
 * receive window of the program (see Vantrel.h for the WM_COPYDATA record).
 *
 * The hook procedure runs in whichever process and thread activates a window;
 * the only state it shares with the program is the pair of values below. */
#define VANTREL_BUILDING_DLL
#include "Vantrel.h"

#include <string.h>

/* One copy of the shared state for every process that loads the library.
 * GNU ld ignores a SECTIONS line in the .def file; the `shared` attribute makes
 * GCC mark the section IMAGE_SCN_MEM_SHARED. The values are window-manager
 * handles, which have 32 significant bits on 64-bit Windows as well (they are
 * passed to 32-bit processes), so each is one aligned 32-bit word: StartFunc
 * and StopFunc write them on the program's thread, hook procedures only read
 * them, and no lock is needed. */
typedef struct SharedState {
  volatile LONG hookHandle;   /* the installed shell hook; zero when none */
  volatile LONG targetWindow; /* receives captured texts; set by StartFunc, never cleared */
} SharedState;

static SharedState g_shared __attribute__((section("Shared"), shared)) = {0, 0};

/* This copy's own module handle, for installing the hook. */
static HINSTANCE g_instance;

enum {
  kWindowActivated = 4,       /* the shell event HSHELL_WINDOWACTIVATED */
  kTextBufferSize = 1024,     /* for class name, title and message text */
  kMessageControlId = 0xFFFF, /* the pop-up's static control holding the text */
  kCancelCommand = 2,         /* IDCANCEL: closes the pop-up */
  kStopBroadcast = 0xA500,    /* sent to every top-level window before unhooking */
  kStopPauseMs = 100,
};

static const char kDialogClass[] = "#32770";
static const char kTitleEnglish[] = "Messenger Service ";
/* The same title in code page 936 (Simplified Chinese), with its blank. */
static const char kTitleChinese[] = "\xD0\xC5\xCA\xB9\xB7\xFE\xCE\xF1\x20";

static HHOOK StoredHook(void) { return (HHOOK)LongToHandle(g_shared.hookHandle); }

static int EqualsLiteral(const char* text, int length, const char* literal, size_t literalSize) {
  return length >= 0 && (size_t)length == literalSize - 1 &&
         memcmp(text, literal, literalSize - 1) == 0;
}

static int IsMessengerPopup(HWND window) {
  char buffer[kTextBufferSize];
  int length = GetClassNameA(window, buffer, kTextBufferSize);
  if (!EqualsLiteral(buffer, length, kDialogClass, sizeof kDialogClass)) return 0;
  length = GetWindowTextA(window, buffer, kTextBufferSize);
  if (length <= 0) return 0;
  return EqualsLiteral(buffer, length, kTitleEnglish, sizeof kTitleEnglish) ||
         EqualsLiteral(buffer, length, kTitleChinese, sizeof kTitleChinese);
}

/* The text of the pop-up's message control, at most kTextBufferSize - 1 bytes;
 * returns its length, 0 when there is no such control. */
static DWORD ReadMessageText(HWND popup, char* text) {
  DWORD length = 0;
  HWND control = GetDlgItem(popup, kMessageControlId);
  if (control != NULL) {
    LRESULT copied = SendMessageA(control, WM_GETTEXT, kTextBufferSize, (LPARAM)text);
    if (copied > 0) length = copied < kTextBufferSize - 1 ? (DWORD)copied : kTextBufferSize - 1;
  }
  text[length] = '\0';
  return length;
}

/* Only the test build exports the hook procedure (see Vantrel.h). */
#ifdef VANTREL_EXPORT_HOOK_PROC
#define HOOK_PROC_LINKAGE __declspec(dllexport)
#else
#define HOOK_PROC_LINKAGE static
#endif

HOOK_PROC_LINKAGE LRESULT CALLBACK ShellHookProc(int code, WPARAM wParam, LPARAM lParam) {
  /* The next hook always sees the event, whatever happens here. */
  LRESULT result = CallNextHookEx(StoredHook(), code, wParam, lParam);
  if (code != kWindowActivated) return result;

  HWND popup = (HWND)wParam;
  if (!IsMessengerPopup(popup)) return result;

  char text[kTextBufferSize];
  DWORD length = ReadMessageText(popup, text);

  /* Closed whenever it is recognised, even when its text cannot be delivered. */
  SendMessageA(popup, WM_COMMAND, kCancelCommand, 0);
  if (length == 0) return result;

  HWND target = (HWND)LongToHandle(g_shared.targetWindow);
  if (target != NULL) {
    /* Synchronous: `text` stays valid until the receive window has copied it. */
    COPYDATASTRUCT record;
    record.dwData = 0;
    record.cbData = length;
    record.lpData = text;
    SendMessageA(target, WM_COPYDATA, 0, (LPARAM)&record);
  }
  return result;
}

int WINAPI StartFunc(HWND target) {
  if (g_shared.hookHandle != 0) return 0;
  /* Stored before the hook exists, so that a pop-up activated right after the
   * installation already has somewhere to go. */
  g_shared.targetWindow = HandleToLong(target);
  HHOOK hook = SetWindowsHookExA(WH_SHELL, ShellHookProc, g_instance, 0);
  g_shared.hookHandle = HandleToLong(hook);
  return hook != NULL ? 1 : 0;
}

int WINAPI StopFunc(void) {
  if (g_shared.hookHandle == 0) return 1;
  /* Waits until every top-level window has handled the message, then gives
   * hook procedures that are still running a moment to return. */
  SendMessageA(HWND_BROADCAST, kStopBroadcast, 0, 0);
  Sleep(kStopPauseMs);
  if (UnhookWindowsHookEx(StoredHook())) g_shared.hookHandle = 0;
  return g_shared.hookHandle == 0 ? 1 : 0;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    g_instance = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}
