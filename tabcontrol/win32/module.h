// Module-wide facts of Corvane.ocx shared by the entry points, the
// registration and the control.
#pragma once

#include <windows.h>
#include <oleidl.h>

namespace corvane::win {

// What GetMiscStatus answers and what the registry says under MiscStatus:
// activate when visible, inside-out, and the client site before anything else.
inline constexpr DWORD kMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT |
                                     OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_SETCLIENTSITEFIRST;

HRESULT RegisterServer();
HRESULT UnregisterServer();

}  // namespace corvane::win
