/* Vantrel.dll as the program uses it: linked at load time, both functions
 * imported by name, and nothing else exported. Under Wine the hook is really
 * installed and removed. */
#include "Vantrel.h"
#include "wine_check.h"

#include <stdio.h>

int main(void) {
  setvbuf(stdout, NULL, _IONBF, 0);
  HMODULE library = GetModuleHandleA("Vantrel.dll");

  Group("the exports are StartFunc and StopFunc by name, and no hook procedure");
  CHECK(library != NULL);
  CHECK((ULONG_PTR)GetProcAddress(library, "StartFunc") == (ULONG_PTR)StartFunc);
  CHECK((ULONG_PTR)GetProcAddress(library, "StopFunc") == (ULONG_PTR)StopFunc);
  CHECK(GetProcAddress(library, "ShellHookProc") == NULL);

  TargetRecord target;
  HWND window = CreateTargetWindow(&target);
  Group("install and remove the shell hook");
  CHECK_EQ(StopFunc(), 1);
  CHECK_EQ(StartFunc(window), 1);
  CHECK_EQ(StartFunc(window), 0);
  CHECK_EQ(StopFunc(), 1);
  CHECK_EQ(StopFunc(), 1);
  CHECK_EQ(StartFunc(window), 1);
  CHECK_EQ(StopFunc(), 1);
  DestroyWindow(window);
  return FinishChecks("production_dll_test");
}
