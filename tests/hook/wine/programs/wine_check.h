/* Support for the Windows test programs of Vantrel.dll: checks, a target
 * window that records the texts it receives, pop-ups to capture, and a seam
 * in the library's import table that records (and can fail) its calls into
 * the system. */
#pragma once

#include <windows.h>

/* ---- checks ---------------------------------------------------------------- */

#define CHECK(condition) CheckThat((condition) != 0, #condition, __FILE__, __LINE__)
#define CHECK_EQ(actual, expected) \
  CheckEqual((long long)(actual), (long long)(expected), #actual, __FILE__, __LINE__)

void CheckThat(int ok, const char* what, const char* file, int line);
void CheckEqual(long long actual, long long expected, const char* what, const char* file, int line);
/* Starts a named group of checks; failures print it. */
void Group(const char* name);
/* Prints the totals and returns the exit code: 0 when every check passed. */
int FinishChecks(const char* program);

/* ---- the window that receives captured texts ------------------------------- */

typedef struct Delivery {
  ULONG_PTR dwData;
  WPARAM wParam;
  DWORD cbData;
  char bytes[4096]; /* the first cbData bytes (at most 4096) */
} Delivery;

typedef struct TargetRecord {
  HWND window;
  int deliveries; /* WM_COPYDATA messages received */
  Delivery last;
  int broadcasts; /* the stop broadcast 0xA500, if it ever arrives */
} TargetRecord;

/* A hidden top-level window that records into `record` (which must outlive it). */
HWND CreateTargetWindow(TargetRecord* record);
/* Dispatches the messages that are waiting for this thread. */
void PumpMessages(void);
/* 1 when the last delivery is exactly `length` bytes of `text`, with dwData 0 and wParam 0. */
int DeliveredText(const TargetRecord* record, const char* text, DWORD length);

/* ---- pop-ups ---------------------------------------------------------------- */

/* Called once the message box is up; receives the box. */
typedef void (*BoxShown)(HWND box, void* context);
/* Shows MessageBoxA(text, title, MB_OKCANCEL) on this thread and calls `shown`
 * once the box is there. A box that is still open afterwards is closed with
 * IDOK. Returns what MessageBoxA returned: IDCANCEL means the box was closed by
 * WM_COMMAND 2. */
int RunMessageBox(const char* text, const char* title, BoxShown shown, void* context);

typedef struct DialogRecord {
  int commands;   /* WM_COMMAND messages received */
  WPARAM command; /* the last one's wParam */
} DialogRecord;
/* A visible modeless dialog (class "#32770") titled `title` with, when
 * `controlId` is not 0, one static control of that id holding `text`. The
 * dialog destroys itself on WM_COMMAND IDOK and IDCANCEL. */
HWND CreatePopupDialog(const char* title, WORD controlId, const char* text, DialogRecord* record);

/* ---- the seam in the library's import table -------------------------------- */

typedef enum CallKind { kCallNextHook, kSendMessage, kSleep, kSetHook, kUnhook } CallKind;

typedef struct Call {
  CallKind kind;
  HHOOK hook;       /* kCallNextHook, kUnhook; kSetHook: the handle returned */
  int code;         /* kCallNextHook: event code; kSetHook: hook type */
  HWND window;      /* kSendMessage */
  UINT message;     /* kSendMessage */
  WPARAM wParam;    /* kCallNextHook, kSendMessage */
  LPARAM lParam;    /* kCallNextHook, kSendMessage */
  HOOKPROC proc;    /* kSetHook */
  HINSTANCE module; /* kSetHook */
  DWORD number;     /* kSetHook: thread id; kSleep: milliseconds */
} Call;

typedef struct CallLog {
  int count;
  Call calls[64];
} CallLog;

extern CallLog g_calls;
extern int g_failInstall;        /* SetWindowsHookExA fails while set */
extern int g_failUnhook;         /* UnhookWindowsHookEx fails while set */
extern LRESULT g_nextHookResult; /* what CallNextHookEx returns */

/* Routes the library's calls of CallNextHookEx, SendMessageA, Sleep,
 * SetWindowsHookExA and UnhookWindowsHookEx through recording stand-ins; all
 * but CallNextHookEx go on to the real function unless told to fail. Returns
 * 1 when all five were found. */
int InterceptLibraryImports(HMODULE library);
void ClearCalls(void);
int CountCalls(const CallLog* log, CallKind kind);
/* The nth (from 0) call of `kind`, or NULL. */
const Call* FindCall(const CallLog* log, CallKind kind, int nth);
