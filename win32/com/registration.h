// Registration of the COM class, its type library and the Excel add-in record.
#pragma once

#include <windows.h>

namespace tarnwick::win32 {

// Both return S_OK or the first failure; neither throws.
HRESULT RegisterServer(HINSTANCE module);
// Removes everything RegisterServer wrote; keys already gone are no error.
HRESULT UnregisterServer();

}  // namespace tarnwick::win32
