#pragma once
/* libVantrel.so, the pop-up capture library on Linux. Its only exports:
 *
 *   StartFunc(window)  registers the window as the target of captured texts
 *                      (the "shell hook" of this platform); 1 when it is now
 *                      registered, 0 when one already was (nothing changes)
 *                      or the registration failed. The window is stored as
 *                      the target in either case but the first.
 *   StopFunc()         removes the registration; 1 when none is left, 0 when
 *                      it could not be removed (it stays, a later call tries
 *                      again). Without a registration it answers 1 at once.
 *
 * A window is the id of a window endpoint of the program (WindowEndpoint.h).
 * The state is one per user, shared by all of the user's processes. */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

__attribute__((visibility("default"))) int StartFunc(uint64_t window);
__attribute__((visibility("default"))) int StopFunc(void);

#ifdef __cplusplus
}
#endif
