// Class objects served from a table by one generic class factory.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace tarnwick::win32 {

// Creates a new object and QueryInterfaces it for `iid`.
using CreateInstanceFn = HRESULT (*)(REFIID iid, void** out);

struct ClassEntry {
    const CLSID* clsid;
    CreateInstanceFn create;
};

// The factory for `clsid` as `iid`, or CLASS_E_CLASSNOTAVAILABLE.
HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** out);

}  // namespace tarnwick::win32
