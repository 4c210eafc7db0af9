/* Tests of Vantrel.dll under Wine, on its test build (VantrelTest.dll), which
 * also exports the hook procedure: Wine never raises the shell event "window
 * activated" (4), so the tests raise it by calling the procedure themselves,
 * as the system would, in the thread that owns the pop-up.
 *
 *   hook_tests procedure     the hook procedure on real pop-ups
 *   hook_tests start-stop    StartFunc and StopFunc
 *   hook_tests shared-state  two processes sharing the library's state
 * The shared-state test starts this program again as its second process
 * (arguments child-capture and child-after-stop). */
#define VANTREL_EXPORT_HOOK_PROC
#include "Vantrel.h"
#include "wine_check.h"

#include <stdio.h>
#include <string.h>

static const char kTitle[] = "Messenger Service ";
static const char kTitleChinese[] = "\xD0\xC5\xCA\xB9\xB7\xFE\xCE\xF1\x20";
static const char kPopupText[] =
    "Message from PC1 to BOB on 03.05.2024 10:15:00\r\n\r\nLunch at twelve?";

/* Calls of the hook procedure for a shown pop-up, and what they did. */
typedef struct Activation {
  int codes[8]; /* the event codes to raise, in turn */
  int codeCount;
  HWND popup;
  HWND control; /* its child 0xFFFF, looked up before the procedure runs */
  LRESULT results[8];
  CallLog log; /* the library's calls during the last one */
} Activation;

static void Raise(HWND popup, void* context) {
  Activation* activation = (Activation*)context;
  activation->popup = popup;
  activation->control = GetDlgItem(popup, 0xFFFF);
  for (int i = 0; i < activation->codeCount; ++i) {
    ClearCalls();
    activation->results[i] = ShellHookProc(activation->codes[i], (WPARAM)popup, 0);
    activation->log = g_calls;
  }
}

/* Raises event 4 for a message box with this text and title; returns how the box ended. */
static int ActivateBox(const char* text, const char* title, Activation* activation) {
  memset(activation, 0, sizeof *activation);
  activation->codes[0] = 4;
  activation->codeCount = 1;
  return RunMessageBox(text, title, Raise, activation);
}

/* The library's calls of one activation: the event passed on first, nothing else. */
static void CheckOnlyPassedOn(const Activation* activation) {
  CHECK_EQ(activation->log.count, 1);
  CHECK_EQ(activation->log.calls[0].kind, kCallNextHook);
  CHECK_EQ(activation->results[0], g_nextHookResult);
}

static HHOOK InstalledHook(void) {
  const Call* install = FindCall(&g_calls, kSetHook, 0);
  return install != NULL ? install->hook : NULL;
}

static void TestProcedure(void) {
  HMODULE library = GetModuleHandleA("VantrelTest.dll");
  CHECK(InterceptLibraryImports(library));
  TargetRecord target;
  HWND targetWindow = CreateTargetWindow(&target);
  Activation activation;

  Group("a recognised pop-up is closed while no target is stored; its text is lost");
  CHECK_EQ(ActivateBox(kPopupText, kTitle, &activation), IDCANCEL);
  CHECK_EQ(target.deliveries, 0);
  CHECK_EQ(activation.results[0], g_nextHookResult);
  CHECK_EQ(activation.log.calls[0].kind, kCallNextHook);
  CHECK(activation.log.calls[0].hook == NULL);

  Group("StartFunc installs the hook");
  ClearCalls();
  CHECK_EQ(StartFunc(targetWindow), 1);
  HHOOK hook = InstalledHook();
  CHECK(hook != NULL);

  Group("\"Messenger Service \": captured, closed, and the text sent to the target");
  CHECK_EQ(ActivateBox(kPopupText, kTitle, &activation), IDCANCEL);
  CHECK_EQ(target.deliveries, 1);
  CHECK(DeliveredText(&target, kPopupText, (DWORD)strlen(kPopupText)));
  CHECK_EQ(activation.results[0], g_nextHookResult);
  /* In order: pass on (with the stored hook), read the text, close, deliver. */
  const CallLog* log = &activation.log;
  CHECK_EQ(log->count, 4);
  CHECK_EQ(log->calls[0].kind, kCallNextHook);
  CHECK(log->calls[0].hook == hook);
  CHECK_EQ(log->calls[0].code, 4);
  CHECK(log->calls[0].wParam == (WPARAM)activation.popup);
  CHECK_EQ(log->calls[0].lParam, 0);
  CHECK_EQ(log->calls[1].kind, kSendMessage);
  CHECK_EQ(log->calls[1].message, WM_GETTEXT);
  CHECK_EQ(log->calls[1].wParam, 1024);
  CHECK(activation.control != NULL);
  CHECK(log->calls[1].window == activation.control);
  CHECK_EQ(log->calls[2].kind, kSendMessage);
  CHECK(log->calls[2].window == activation.popup);
  CHECK_EQ(log->calls[2].message, WM_COMMAND);
  CHECK_EQ(log->calls[2].wParam, 2);
  CHECK_EQ(log->calls[2].lParam, 0);
  CHECK_EQ(log->calls[3].kind, kSendMessage);
  CHECK(log->calls[3].window == targetWindow);
  CHECK_EQ(log->calls[3].message, WM_COPYDATA);
  CHECK_EQ(log->calls[3].wParam, 0);

  Group("the Simplified-Chinese title is captured byte for byte");
  CHECK_EQ(ActivateBox("chinese title", kTitleChinese, &activation), IDCANCEL);
  CHECK_EQ(target.deliveries, 2);
  CHECK(DeliveredText(&target, "chinese title", 13));

  Group("other titles are left alone");
  const char* otherTitles[] = {
      "Messenger Service",                                       /* without the blank */
      "Messenger Service  ",                                     /* two blanks */
      "messenger service ",                                      /* other case */
      " Messenger Service ", "\xD0\xC5\xCA\xB9\xB7\xFE\xCE\xF1", /* Chinese without the blank */
  };
  for (size_t i = 0; i < sizeof otherTitles / sizeof otherTitles[0]; ++i) {
    CHECK_EQ(ActivateBox(kPopupText, otherTitles[i], &activation), IDOK);
    CheckOnlyPassedOn(&activation);
  }
  CHECK_EQ(target.deliveries, 2);

  Group("events other than 4 are passed on and nothing else");
  memset(&activation, 0, sizeof activation);
  const int otherCodes[] = {HSHELL_WINDOWCREATED, HSHELL_WINDOWDESTROYED, 3, 5, 6, 0x8004, -1};
  activation.codeCount = (int)(sizeof otherCodes / sizeof otherCodes[0]);
  memcpy(activation.codes, otherCodes, sizeof otherCodes);
  CHECK_EQ(RunMessageBox(kPopupText, kTitle, Raise, &activation), IDOK);
  for (int i = 0; i < activation.codeCount; ++i) CHECK_EQ(activation.results[i], g_nextHookResult);
  CheckOnlyPassedOn(&activation);
  CHECK_EQ(activation.log.calls[0].code, -1);
  CHECK_EQ(target.deliveries, 2);

  Group("texts longer than 1023 bytes are cut to 1023");
  static char longText[3001];
  for (int i = 0; i < 3000; ++i) longText[i] = (char)('a' + i % 26);
  const int lengths[] = {1, 1022, 1023, 1024, 3000};
  for (size_t i = 0; i < sizeof lengths / sizeof lengths[0]; ++i) {
    int length = lengths[i];
    char saved = longText[length];
    longText[length] = '\0';
    int deliveries = target.deliveries;
    CHECK_EQ(ActivateBox(longText, kTitle, &activation), IDCANCEL);
    longText[length] = saved;
    CHECK_EQ(target.deliveries, deliveries + 1);
    DWORD expected = (DWORD)(length < 1023 ? length : 1023);
    CHECK_EQ(target.last.cbData, expected);
    CHECK(DeliveredText(&target, longText, expected));
  }

  Group("an empty pop-up is closed and nothing is sent");
  int deliveries = target.deliveries;
  CHECK_EQ(ActivateBox("", kTitle, &activation), IDCANCEL);
  CHECK_EQ(target.deliveries, deliveries);

  Group("a pop-up without control 0xFFFF is closed and nothing is sent");
  DialogRecord dialog;
  HWND popup = CreatePopupDialog(kTitle, 100, "text in another control", &dialog);
  CHECK(popup != NULL);
  ClearCalls();
  CHECK_EQ(ShellHookProc(4, (WPARAM)popup, 0), g_nextHookResult);
  CHECK_EQ(dialog.commands, 1);
  CHECK_EQ(dialog.command, IDCANCEL);
  CHECK(!IsWindow(popup));
  CHECK_EQ(CountCalls(&g_calls, kSendMessage), 1); /* only the close */
  CHECK_EQ(target.deliveries, deliveries);

  Group("a dialog of our own template with control 0xFFFF is captured");
  popup = CreatePopupDialog(kTitle, 0xFFFF, "own template", &dialog);
  CHECK_EQ(ShellHookProc(4, (WPARAM)popup, 0), g_nextHookResult);
  CHECK(!IsWindow(popup));
  CHECK_EQ(target.deliveries, deliveries + 1);
  CHECK(DeliveredText(&target, "own template", 12));

  Group("a dialog without a title, another class, a dead window: left alone");
  popup = CreatePopupDialog("", 0xFFFF, "no title", &dialog);
  ClearCalls();
  CHECK_EQ(ShellHookProc(4, (WPARAM)popup, 0), g_nextHookResult);
  CHECK_EQ(g_calls.count, 1);
  CHECK(IsWindow(popup));
  CHECK_EQ(dialog.commands, 0);
  DestroyWindow(popup);
  TargetRecord other;
  HWND otherClass = CreateTargetWindow(&other);
  SetWindowTextA(otherClass, kTitle);
  ClearCalls();
  CHECK_EQ(ShellHookProc(4, (WPARAM)otherClass, 0), g_nextHookResult);
  CHECK_EQ(g_calls.count, 1);
  CHECK(IsWindow(otherClass));
  DestroyWindow(otherClass);
  ClearCalls();
  CHECK_EQ(ShellHookProc(4, (WPARAM)otherClass, 0), g_nextHookResult);
  CHECK_EQ(g_calls.count, 1);
  CHECK_EQ(target.deliveries, deliveries + 1);

  CHECK_EQ(StopFunc(), 1);
  DestroyWindow(targetWindow);
}

/* ------------------------------------------------------------------------- */

/* Raises event 4 for a message box; 1 when the text arrived at `target`. */
static int CapturedBy(TargetRecord* target, const char* text) {
  Activation activation;
  int deliveries = target->deliveries;
  int closed = ActivateBox(text, kTitle, &activation) == IDCANCEL;
  return closed && target->deliveries == deliveries + 1 &&
         DeliveredText(target, text, (DWORD)strlen(text));
}

static void CheckStopSequence(HHOOK hook) {
  /* Broadcast, pause, then the removal of the stored hook. */
  CHECK_EQ(g_calls.count, 3);
  CHECK_EQ(g_calls.calls[0].kind, kSendMessage);
  CHECK(g_calls.calls[0].window == HWND_BROADCAST);
  CHECK_EQ(g_calls.calls[0].message, 0xA500);
  CHECK_EQ(g_calls.calls[0].wParam, 0);
  CHECK_EQ(g_calls.calls[0].lParam, 0);
  CHECK_EQ(g_calls.calls[1].kind, kSleep);
  CHECK_EQ(g_calls.calls[1].number, 100);
  CHECK_EQ(g_calls.calls[2].kind, kUnhook);
  CHECK(g_calls.calls[2].hook == hook);
}

static void TestStartStop(void) {
  HMODULE library = GetModuleHandleA("VantrelTest.dll");
  CHECK(InterceptLibraryImports(library));
  TargetRecord first, second, third;
  HWND firstWindow = CreateTargetWindow(&first);
  HWND secondWindow = CreateTargetWindow(&second);
  HWND thirdWindow = CreateTargetWindow(&third);

  Group("StopFunc without a hook: 1 at once, no broadcast, no pause");
  ClearCalls();
  CHECK_EQ(StopFunc(), 1);
  CHECK_EQ(g_calls.count, 0);

  Group("a failed installation returns 0 but stores the target");
  g_failInstall = 1;
  ClearCalls();
  CHECK_EQ(StartFunc(firstWindow), 0);
  g_failInstall = 0;
  CHECK_EQ(CountCalls(&g_calls, kSetHook), 1);
  const Call* install = FindCall(&g_calls, kSetHook, 0);
  CHECK_EQ(install->code, WH_SHELL);
  CHECK(install->proc == ShellHookProc);
  CHECK(install->module == library);
  CHECK_EQ(install->number, 0);
  CHECK(CapturedBy(&first, "after a failed installation"));
  ClearCalls();
  CHECK_EQ(StopFunc(), 1);
  CHECK_EQ(g_calls.count, 0);

  Group("StartFunc twice: 1, then 0 and the first target kept");
  ClearCalls();
  CHECK_EQ(StartFunc(secondWindow), 1);
  HHOOK hook = InstalledHook();
  CHECK(hook != NULL);
  ClearCalls();
  CHECK_EQ(StartFunc(thirdWindow), 0);
  CHECK_EQ(g_calls.count, 0);
  CHECK(CapturedBy(&second, "to the first target"));
  CHECK_EQ(third.deliveries, 0);

  Group("a failed removal returns 0 and keeps the hook; the next StopFunc tries again");
  g_failUnhook = 1;
  ClearCalls();
  CHECK_EQ(StopFunc(), 0);
  g_failUnhook = 0;
  CheckStopSequence(hook);
  CHECK_EQ(StartFunc(thirdWindow), 0); /* still installed */
  ClearCalls();
  CHECK_EQ(StopFunc(), 1);
  CheckStopSequence(hook);
  ClearCalls();
  CHECK_EQ(StopFunc(), 1);
  CHECK_EQ(g_calls.count, 0);

  Group("the target stays stored after StopFunc; a new StartFunc replaces it");
  CHECK(CapturedBy(&second, "after StopFunc"));
  CHECK_EQ(StartFunc(thirdWindow), 1);
  CHECK(CapturedBy(&third, "to the new target"));
  CHECK_EQ(StopFunc(), 1);

  /* Sent to every top-level window, the stop broadcast (0xA500, between
   * WM_USER and 0xBFFF) is not delivered by Wine; report what happened. */
  PumpMessages();
  printf("note: the stop broadcast reached %d of our 3 top-level windows\n",
         first.broadcasts + second.broadcasts + third.broadcasts);
  DestroyWindow(firstWindow);
  DestroyWindow(secondWindow);
  DestroyWindow(thirdWindow);
}

/* ------------------------------------------------------------------------- */

static const char kFromOtherProcess[] = "Message from PC2 to BOB\r\n\r\nfrom the other process";

/* Runs this program again with `argument`; pumps messages (the child sends
 * to our window) until it ends. Returns its exit code, or -1. */
static DWORD RunChild(const char* argument) {
  char self[MAX_PATH];
  char commandLine[2 * MAX_PATH];
  GetModuleFileNameA(NULL, self, sizeof self);
  snprintf(commandLine, sizeof commandLine, "\"%s\" %s", self, argument);
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  if (!CreateProcessA(self, commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
    printf("CreateProcess failed: %lu\n", GetLastError());
    return (DWORD)-1;
  }
  DWORD deadline = GetTickCount() + 60000;
  DWORD exitCode = (DWORD)-1;
  for (;;) {
    DWORD wait = MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 1000, QS_ALLINPUT);
    PumpMessages();
    if (wait == WAIT_OBJECT_0) {
      GetExitCodeProcess(process.hProcess, &exitCode);
      break;
    }
    if ((LONG)(GetTickCount() - deadline) > 0) {
      printf("second process did not end\n");
      TerminateProcess(process.hProcess, 1);
      break;
    }
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return exitCode;
}

static void TestSharedState(void) {
  TargetRecord target;
  HWND targetWindow = CreateTargetWindow(&target);

  Group("process A installs the hook for its window");
  CHECK_EQ(StartFunc(targetWindow), 1);

  Group("process B sees A's hook and sends its pop-up's text to A's window");
  CHECK_EQ(RunChild("child-capture"), 0);
  CHECK_EQ(target.deliveries, 1);
  CHECK(DeliveredText(&target, kFromOtherProcess, (DWORD)strlen(kFromOtherProcess)));

  Group("after A's StopFunc, B finds no hook");
  CHECK_EQ(StopFunc(), 1);
  CHECK_EQ(RunChild("child-after-stop"), 0);
  CHECK_EQ(target.deliveries, 1);
  DestroyWindow(targetWindow);
}

static int ChildCapture(void) {
  TargetRecord own;
  HWND ownWindow = CreateTargetWindow(&own);
  Activation activation;
  Group("B: the hook handle stored by A is seen here");
  CHECK_EQ(StartFunc(ownWindow), 0);
  Group("B: a pop-up of another title stays; \"Messenger Service \" goes to A");
  CHECK_EQ(ActivateBox(kFromOtherProcess, "Messenger Service", &activation), IDOK);
  CHECK_EQ(ActivateBox(kFromOtherProcess, kTitle, &activation), IDCANCEL);
  CHECK_EQ(own.deliveries, 0);
  return FinishChecks("hook_tests child-capture");
}

static int ChildAfterStop(void) {
  TargetRecord own;
  HWND ownWindow = CreateTargetWindow(&own);
  Group("B: A's StopFunc cleared the shared hook handle");
  CHECK_EQ(StartFunc(ownWindow), 1);
  CHECK(CapturedBy(&own, "B's own"));
  CHECK_EQ(StopFunc(), 1);
  return FinishChecks("hook_tests child-after-stop");
}

int main(int argc, char** argv) {
  setvbuf(stdout, NULL, _IONBF, 0);
  const char* test = argc > 1 ? argv[1] : "";
  if (strcmp(test, "procedure") == 0) {
    TestProcedure();
  } else if (strcmp(test, "start-stop") == 0) {
    TestStartStop();
  } else if (strcmp(test, "shared-state") == 0) {
    TestSharedState();
  } else if (strcmp(test, "child-capture") == 0) {
    return ChildCapture();
  } else if (strcmp(test, "child-after-stop") == 0) {
    return ChildAfterStop();
  } else {
    printf("usage: hook_tests procedure|start-stop|shared-state\n");
    return 2;
  }
  char name[64];
  snprintf(name, sizeof name, "hook_tests %s", test);
  return FinishChecks(name);
}
