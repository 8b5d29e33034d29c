/* A module that imports a Vista function, to show the XP import check sees it. */
#include <windows.h>

__declspec(dllimport) ULONGLONG WINAPI GetTickCount64(void);

__declspec(dllexport) ULONGLONG ProbeTicks(void) { return GetTickCount64(); }
