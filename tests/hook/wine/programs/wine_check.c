#include "wine_check.h"

#include <stdio.h>
#include <string.h>

/* ---- checks ---------------------------------------------------------------- */

static int g_checks;
static int g_failed;
static const char* g_group = "";

void Group(const char* name) {
  g_group = name;
  printf("-- %s\n", name);
}

void CheckThat(int ok, const char* what, const char* file, int line) {
  ++g_checks;
  if (ok) return;
  ++g_failed;
  printf("FAILED [%s] %s:%d: %s\n", g_group, file, line, what);
}

void CheckEqual(long long actual, long long expected, const char* what, const char* file,
                int line) {
  ++g_checks;
  if (actual == expected) return;
  ++g_failed;
  printf("FAILED [%s] %s:%d: %s is %lld, expected %lld\n", g_group, file, line, what, actual,
         expected);
}

int FinishChecks(const char* program) {
  printf("%s: %d checks, %d failed\n", program, g_checks, g_failed);
  fflush(stdout);
  return g_failed == 0 && g_checks > 0 ? 0 : 1;
}

/* ---- the window that receives captured texts ------------------------------- */

static const char kTargetClass[] = "VantrelTestTarget";
static const UINT kStopBroadcast = 0xA500;

static LRESULT CALLBACK TargetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  TargetRecord* record = (TargetRecord*)GetWindowLongPtrA(window, GWLP_USERDATA);
  if (record != NULL && message == WM_COPYDATA) {
    const COPYDATASTRUCT* data = (const COPYDATASTRUCT*)lParam;
    ++record->deliveries;
    record->last.dwData = data->dwData;
    record->last.wParam = wParam;
    record->last.cbData = data->cbData;
    size_t size =
        data->cbData < sizeof record->last.bytes ? data->cbData : sizeof record->last.bytes;
    memcpy(record->last.bytes, data->lpData, size);
    return TRUE;
  }
  if (record != NULL && message == kStopBroadcast) {
    ++record->broadcasts;
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateTargetWindow(TargetRecord* record) {
  static ATOM atom;
  if (atom == 0) {
    WNDCLASSA windowClass;
    memset(&windowClass, 0, sizeof windowClass);
    windowClass.lpfnWndProc = TargetProc;
    windowClass.hInstance = GetModuleHandleA(NULL);
    windowClass.lpszClassName = kTargetClass;
    atom = RegisterClassA(&windowClass);
  }
  memset(record, 0, sizeof *record);
  record->window = CreateWindowExA(0, kTargetClass, "Vantrel test target", WS_OVERLAPPEDWINDOW, 0,
                                   0, 100, 100, NULL, NULL, GetModuleHandleA(NULL), NULL);
  SetWindowLongPtrA(record->window, GWLP_USERDATA, (LONG_PTR)record);
  return record->window;
}

void PumpMessages(void) {
  MSG message;
  while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

int DeliveredText(const TargetRecord* record, const char* text, DWORD length) {
  return record->last.dwData == 0 && record->last.wParam == 0 && record->last.cbData == length &&
         length <= sizeof record->last.bytes && memcmp(record->last.bytes, text, length) == 0;
}

/* ---- pop-ups ---------------------------------------------------------------- */

typedef struct BoxRun {
  BoxShown shown;
  void* context;
  UINT_PTR timer;
  int ticks;
} BoxRun;

static BoxRun g_boxRun;

static BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
  char className[16];
  if (IsWindowVisible(window) && GetClassNameA(window, className, sizeof className) > 0 &&
      strcmp(className, "#32770") == 0) {
    *(HWND*)found = window;
    return FALSE;
  }
  return TRUE;
}

static void CALLBACK BoxTimer(HWND window, UINT message, UINT_PTR id, DWORD time) {
  (void)window;
  (void)message;
  (void)time;
  HWND box = NULL;
  EnumThreadWindows(GetCurrentThreadId(), FindDialog, (LPARAM)&box);
  /* The box has not come up after ten seconds: give up rather than hang. */
  if (box == NULL && ++g_boxRun.ticks < 1000) return;
  KillTimer(NULL, id);
  if (box == NULL) {
    printf("message box never appeared\n");
    return;
  }
  g_boxRun.shown(box, g_boxRun.context);
  /* Ignored by whatever ran: close it another way (a box already ended drops this). */
  PostMessageA(box, WM_COMMAND, IDOK, 0);
}

int RunMessageBox(const char* text, const char* title, BoxShown shown, void* context) {
  g_boxRun.shown = shown;
  g_boxRun.context = context;
  g_boxRun.ticks = 0;
  g_boxRun.timer = SetTimer(NULL, 0, 10, BoxTimer);
  return MessageBoxA(NULL, text, title, MB_OKCANCEL);
}

static INT_PTR CALLBACK PopupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    return TRUE;
  }
  if (message == WM_COMMAND) {
    DialogRecord* record = (DialogRecord*)GetWindowLongPtrA(dialog, DWLP_USER);
    ++record->commands;
    record->command = wParam;
    if (wParam == IDOK || wParam == IDCANCEL) DestroyWindow(dialog);
    return TRUE;
  }
  return FALSE;
}

HWND CreatePopupDialog(const char* title, WORD controlId, const char* text, DialogRecord* record) {
  /* An in-memory dialog template: the dialog, then at most one static item. */
  static WORD words[64] __attribute__((aligned(4)));
  WORD* p = words;
  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME;
  *p++ = LOWORD(style);
  *p++ = HIWORD(style);
  *p++ = 0; /* extended style */
  *p++ = 0;
  *p++ = controlId != 0 ? 1 : 0; /* items */
  *p++ = 10;                     /* x, y, cx, cy */
  *p++ = 10;
  *p++ = 200;
  *p++ = 80;
  *p++ = 0; /* no menu, the dialog class, no title */
  *p++ = 0;
  *p++ = 0;
  if (controlId != 0) {
    if (((ULONG_PTR)p & 3) != 0) ++p; /* items are DWORD-aligned */
    DWORD itemStyle = WS_CHILD | WS_VISIBLE | SS_LEFT;
    *p++ = LOWORD(itemStyle);
    *p++ = HIWORD(itemStyle);
    *p++ = 0;
    *p++ = 0;
    *p++ = 5;
    *p++ = 5;
    *p++ = 190;
    *p++ = 60;
    *p++ = controlId;
    *p++ = 0xFFFF; /* predefined class: static */
    *p++ = 0x0082;
    *p++ = 0; /* no text: set below, in the code page of the test */
    *p++ = 0; /* no creation data */
  }
  memset(record, 0, sizeof *record);
  HWND dialog = CreateDialogIndirectParamA(GetModuleHandleA(NULL), (LPCDLGTEMPLATEA)words, NULL,
                                           PopupDialogProc, (LPARAM)record);
  SetWindowTextA(dialog, title);
  if (controlId != 0) SetDlgItemTextA(dialog, controlId, text);
  return dialog;
}

/* ---- the seam in the library's import table -------------------------------- */

CallLog g_calls;
int g_failInstall;
int g_failUnhook;
LRESULT g_nextHookResult = 0x5EED;

static Call* NewCall(CallKind kind) {
  if (g_calls.count >= (int)(sizeof g_calls.calls / sizeof g_calls.calls[0])) {
    static Call overflow;
    return &overflow;
  }
  Call* call = &g_calls.calls[g_calls.count++];
  memset(call, 0, sizeof *call);
  call->kind = kind;
  return call;
}

static LRESULT WINAPI StandInCallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) {
  Call* call = NewCall(kCallNextHook);
  call->hook = hook;
  call->code = code;
  call->wParam = wParam;
  call->lParam = lParam;
  return g_nextHookResult;
}

static LRESULT WINAPI StandInSendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Call* call = NewCall(kSendMessage);
  call->window = window;
  call->message = message;
  call->wParam = wParam;
  call->lParam = lParam;
  return SendMessageA(window, message, wParam, lParam);
}

static void WINAPI StandInSleep(DWORD milliseconds) {
  NewCall(kSleep)->number = milliseconds;
  Sleep(milliseconds);
}

static HHOOK WINAPI StandInSetWindowsHookExA(int type, HOOKPROC proc, HINSTANCE module,
                                             DWORD thread) {
  Call* call = NewCall(kSetHook);
  call->code = type;
  call->proc = proc;
  call->module = module;
  call->number = thread;
  if (g_failInstall) {
    SetLastError(ERROR_ACCESS_DENIED);
    return NULL;
  }
  call->hook = SetWindowsHookExA(type, proc, module, thread);
  return call->hook;
}

static BOOL WINAPI StandInUnhookWindowsHookEx(HHOOK hook) {
  NewCall(kUnhook)->hook = hook;
  if (g_failUnhook) return FALSE;
  return UnhookWindowsHookEx(hook);
}

static int Patch(HMODULE library, const char* dllName, const char* function, ULONG_PTR standIn) {
  BYTE* base = (BYTE*)library;
  const IMAGE_DOS_HEADER* dos = (const IMAGE_DOS_HEADER*)base;
  const IMAGE_NT_HEADERS* nt = (const IMAGE_NT_HEADERS*)(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY* imports =
      &nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  const IMAGE_IMPORT_DESCRIPTOR* entry =
      (const IMAGE_IMPORT_DESCRIPTOR*)(base + imports->VirtualAddress);
  for (; entry->Name != 0; ++entry) {
    if (_stricmp((const char*)(base + entry->Name), dllName) != 0) continue;
    const IMAGE_THUNK_DATA* names = (const IMAGE_THUNK_DATA*)(base + entry->OriginalFirstThunk);
    IMAGE_THUNK_DATA* slots = (IMAGE_THUNK_DATA*)(base + entry->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const IMAGE_IMPORT_BY_NAME* byName =
          (const IMAGE_IMPORT_BY_NAME*)(base + names->u1.AddressOfData);
      if (strcmp((const char*)byName->Name, function) != 0) continue;
      DWORD oldProtection;
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE,
                     &oldProtection);
      slots->u1.Function = standIn;
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, oldProtection, &oldProtection);
      return 1;
    }
  }
  printf("import %s!%s not found\n", dllName, function);
  return 0;
}

int InterceptLibraryImports(HMODULE library) {
  int found = Patch(library, "user32.dll", "CallNextHookEx", (ULONG_PTR)StandInCallNextHookEx);
  found &= Patch(library, "user32.dll", "SendMessageA", (ULONG_PTR)StandInSendMessageA);
  found &= Patch(library, "user32.dll", "SetWindowsHookExA", (ULONG_PTR)StandInSetWindowsHookExA);
  found &=
      Patch(library, "user32.dll", "UnhookWindowsHookEx", (ULONG_PTR)StandInUnhookWindowsHookEx);
  found &= Patch(library, "kernel32.dll", "Sleep", (ULONG_PTR)StandInSleep);
  return found;
}

void ClearCalls(void) { g_calls.count = 0; }

int CountCalls(const CallLog* log, CallKind kind) {
  int count = 0;
  for (int i = 0; i < log->count; ++i) count += log->calls[i].kind == kind;
  return count;
}

const Call* FindCall(const CallLog* log, CallKind kind, int nth) {
  for (int i = 0; i < log->count; ++i) {
    if (log->calls[i].kind == kind && nth-- == 0) return &log->calls[i];
  }
  return NULL;
}
