// Registration of the COM class, its type library and the Excel add-in record.
#pragma once

#include <windows.h>

#include <string>

namespace tarnwick::win32 {

// The registry as registration uses it; tests put one in front that refuses
// what a user without administrator rights may not write.
class Registry {
public:
    virtual ~Registry() = default;
    virtual LONG CreateKey(HKEY root, const std::wstring& key, HKEY* result) = 0;  // read and write access
    virtual LONG OpenKey(HKEY root, const std::wstring& key, REGSAM access, HKEY* result) = 0;
    virtual LONG DeleteKey(HKEY root, const std::wstring& key) = 0;  // an empty key
};

// The real one: advapi32.
Registry& SystemRegistry();

// The machine-wide class entries and Excel add-in record when they can be
// written (an administrator), else the current user's (HKCU\Software\Classes,
// honoured by COM from Windows 2000 on, and the user's add-in record).
// Succeeds only when the current user's view of the classes then leads to
// `modulePath`. Never throws.
HRESULT RegisterServer(const std::wstring& modulePath, Registry& registry = SystemRegistry());
HRESULT RegisterServer(HINSTANCE module);

// Removes what RegisterServer wrote, in both places; keys already gone are
// no error, keys that cannot be removed are, except the machine's for a user
// who may not remove them.
HRESULT UnregisterServer(Registry& registry = SystemRegistry());

}  // namespace tarnwick::win32
