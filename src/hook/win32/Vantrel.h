/* Vantrel.dll: the pop-up capture hook library of the Windows build.
 *
 * The program calls StartFunc with its receive window; from then on every
 * pop-up of the Messenger service that is activated anywhere on the desktop is
 * closed and its text arrives at that window as WM_COPYDATA:
 *
 *   dwData  0
 *   cbData  length of the text in bytes, without a terminator, 1 to 1023
 *   lpData  the text in the system code page, not zero-terminated
 *
 * Both functions return 1 for success and 0 for failure. */
#pragma once

#include <windows.h>

#ifdef VANTREL_BUILDING_DLL
#define VANTREL_API
#else
#define VANTREL_API __declspec(dllimport)
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Installs the system-wide shell hook and remembers `target` as the window that
 * receives captured texts. Returns 0 and changes nothing when a hook is already
 * installed; otherwise stores `target` (also when the installation fails) and
 * returns 1 when the hook is now installed. */
VANTREL_API int WINAPI StartFunc(HWND target);

/* Removes the shell hook. Returns 1 at once when none is installed; otherwise
 * returns 1 when the hook is gone afterwards and 0 (keeping it) when the
 * removal failed. The target window stays stored. */
VANTREL_API int WINAPI StopFunc(void);

#ifdef VANTREL_EXPORT_HOOK_PROC
/* Only the test build exports the hook procedure: Wine never raises the
 * shell event "window activated", so the tests raise it themselves. */
VANTREL_API LRESULT CALLBACK ShellHookProc(int code, WPARAM wParam, LPARAM lParam);
#endif

#ifdef __cplusplus
}
#endif
