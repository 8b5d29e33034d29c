#include "addin_harness.h"

#include <fstream>
#include <iterator>

namespace addintest {

using tarnwick::win32::ComPtr;
using tarnwick::win32::Variant;

const IID IID_IDTExtensibility2 = {0xB65AD801, 0xABAF, 0x11D0, {0xBB, 0x8B, 0x00, 0xA0, 0xC9, 0x0F, 0x27, 0x44}};
const CLSID CLSID_ZereZovaveAddin = {0x157952BC, 0x9669, 0x489A, {0xA9, 0x48, 0xDB, 0xB1, 0x3B, 0xB9, 0x83, 0xA6}};

std::wstring ExeDir() {
    wchar_t path[MAX_PATH * 2] = {};
    DWORD n = ::GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
    std::wstring full(path, n);
    return full.substr(0, full.find_last_of(L"\\/"));
}

std::wstring AddinDllPath() { return ExeDir() + L"\\TarnwickAddin.dll"; }

std::wstring SystemDir() {
    wchar_t path[MAX_PATH] = {};
    UINT n = ::GetSystemDirectoryW(path, MAX_PATH);
    return std::wstring(path, n);
}

std::wstring ControlModulePath() { return SystemDir() + L"\\Corvane.ocx"; }

std::optional<DWORD> RunAndWait(const std::wstring& commandLine, DWORD timeoutMs) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring line = commandLine;
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        return std::nullopt;
    }
    ::CloseHandle(pi.hThread);
    std::optional<DWORD> code;
    if (::WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        DWORD exit = 0;
        ::GetExitCodeProcess(pi.hProcess, &exit);
        code = exit;
    }
    ::CloseHandle(pi.hProcess);
    return code;
}

std::optional<DWORD> Regsvr32(bool unregister) {
    std::wstring line = L"\"" + SystemDir() + L"\\regsvr32.exe\" /s ";
    if (unregister) line += L"/u ";
    return RunAndWait(line + L"\"" + AddinDllPath() + L"\"");
}

std::optional<std::wstring> RegString(HKEY root, const std::wstring& key, const wchar_t* name) {
    HKEY k = nullptr;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return std::nullopt;
    wchar_t buffer[1024] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    DWORD type = 0;
    LONG status = ::RegQueryValueExW(k, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    ::RegCloseKey(k);
    if (status != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
    std::wstring value(buffer, size / sizeof(wchar_t));
    while (!value.empty() && value.back() == L'\0') value.pop_back();
    return value;
}

std::optional<DWORD> RegDword(HKEY root, const std::wstring& key, const wchar_t* name) {
    HKEY k = nullptr;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return std::nullopt;
    DWORD value = 0, size = sizeof value, type = 0;
    LONG status = ::RegQueryValueExW(k, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    ::RegCloseKey(k);
    if (status != ERROR_SUCCESS || type != REG_DWORD) return std::nullopt;
    return value;
}

bool RegKeyExists(HKEY root, const std::wstring& key) {
    HKEY k = nullptr;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    ::RegCloseKey(k);
    return true;
}

void RegDeleteTree(HKEY root, const std::wstring& key) {
    HKEY k = nullptr;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return;
    wchar_t child[256];
    for (;;) {
        DWORD n = static_cast<DWORD>(std::size(child));
        if (::RegEnumKeyExW(k, 0, child, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        std::wstring before = child;
        RegDeleteTree(k, child);
        if (RegKeyExists(k, before)) break;
    }
    ::RegCloseKey(k);
    ::RegDeleteKeyW(root, key.c_str());
}

std::optional<FILETIME> FileWriteTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    return data.ftLastWriteTime;
}

std::vector<BYTE> ReadFileBytes(const std::wstring& path) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::vector<BYTE> bytes(::GetFileSize(file, nullptr));
    DWORD read = 0;
    if (!bytes.empty()) ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    ::CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

std::vector<BYTE> EmbeddedControlModule() {
    HMODULE module = ::LoadLibraryExW(AddinDllPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return {};
    std::vector<BYTE> bytes;
    if (HRSRC res = ::FindResourceExW(module, L"OFFICE", MAKEINTRESOURCEW(101),
                                      MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED))) {
        if (HGLOBAL data = ::LoadResource(module, res)) {
            auto* p = static_cast<const BYTE*>(::LockResource(data));
            bytes.assign(p, p + ::SizeofResource(module, res));
        }
    }
    ::FreeLibrary(module);
    return bytes;
}

ComPtr<IDTExtensibility2> CreateAddin(HRESULT* result) {
    ComPtr<IDTExtensibility2> addin;
    CLSID clsid{};
    HRESULT hr = ::CLSIDFromProgID(kProgId, &clsid);
    if (SUCCEEDED(hr)) {
        hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDTExtensibility2, addin.put_void());
    }
    if (result) *result = hr;
    return addin;
}

namespace {

std::wstring Name(IAccessible* acc, const VARIANT& child) {
    tarnwick::win32::Bstr name;
    if (FAILED(acc->get_accName(child, name.put()))) return {};
    return name.str();
}

long Number(HRESULT (STDMETHODCALLTYPE IAccessible::*getter)(VARIANT, VARIANT*), IAccessible* acc,
            const VARIANT& child) {
    Variant value;
    if (FAILED((acc->*getter)(child, value.put())) || value.vt() != VT_I4) return 0;
    return value.get()->lVal;
}

RECT Location(IAccessible* acc, const VARIANT& child) {
    long x = 0, y = 0, w = 0, h = 0;
    if (FAILED(acc->accLocation(&x, &y, &w, &h, child))) return {};
    return RECT{x, y, x + w, y + h};
}

void CollectTabs(IAccessible* acc, std::vector<Tab>& tabs, int depth) {
    long count = 0;
    if (depth > 3 || FAILED(acc->get_accChildCount(&count)) || count <= 0) return;
    std::vector<VARIANT> children(static_cast<size_t>(count));
    long got = 0;
    if (FAILED(::AccessibleChildren(acc, 0, count, children.data(), &got))) return;
    for (long i = 0; i < got; ++i) {
        VARIANT& c = children[static_cast<size_t>(i)];
        if (c.vt == VT_DISPATCH && c.pdispVal) {
            ComPtr<IAccessible> child;
            if (SUCCEEDED(c.pdispVal->QueryInterface(IID_IAccessible, child.put_void()))) {
                VARIANT self{};
                self.vt = VT_I4;
                self.lVal = CHILDID_SELF;
                if (Number(&IAccessible::get_accRole, child.get(), self) == ROLE_SYSTEM_PAGETAB) {
                    tabs.push_back({Name(child.get(), self),
                                    (Number(&IAccessible::get_accState, child.get(), self) & STATE_SYSTEM_SELECTED) != 0,
                                    Location(child.get(), self)});
                } else {
                    CollectTabs(child.get(), tabs, depth + 1);
                }
            }
        } else if (c.vt == VT_I4) {
            if (Number(&IAccessible::get_accRole, acc, c) == ROLE_SYSTEM_PAGETAB) {
                tabs.push_back({Name(acc, c), (Number(&IAccessible::get_accState, acc, c) & STATE_SYSTEM_SELECTED) != 0,
                                Location(acc, c)});
            }
        }
        ::VariantClear(&c);
    }
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM out) {
    reinterpret_cast<std::vector<HWND>*>(out)->push_back(window);
    return TRUE;
}

}  // namespace

std::optional<std::vector<Tab>> ReadTabs(HWND root) {
    if (!root) return std::nullopt;  // no bar yet; never walk the whole desktop
    std::vector<HWND> windows{root};
    ::EnumChildWindows(root, CollectWindow, reinterpret_cast<LPARAM>(&windows));
    for (HWND window : windows) {
        for (LONG object : {OBJID_CLIENT, OBJID_WINDOW}) {
            ComPtr<IAccessible> acc;
            if (FAILED(::AccessibleObjectFromWindow(window, static_cast<DWORD>(object), IID_IAccessible,
                                                    acc.put_void())) || !acc) {
                continue;
            }
            std::vector<Tab> tabs;
            CollectTabs(acc.get(), tabs, 0);
            if (!tabs.empty()) return tabs;
        }
    }
    return std::nullopt;
}

HWND FirstChild(HWND parent) { return ::FindWindowExW(parent, nullptr, nullptr, nullptr); }

}  // namespace addintest

namespace addintest {

void ClickAt(POINT screen) {
    HWND target = ::WindowFromPoint(screen);
    if (!target) return;
    POINT client = screen;
    ::ScreenToClient(target, &client);
    const LPARAM at = MAKELPARAM(client.x, client.y);
    ::SendMessageW(target, WM_MOUSEMOVE, 0, at);
    ::SendMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(target, WM_LBUTTONUP, 0, at);
}

bool TabControlRegistered() {
    auto clsid = RegString(HKEY_CLASSES_ROOT, std::wstring(kControlProgId) + L"\\CLSID", nullptr);
    return clsid && RegString(HKEY_CLASSES_ROOT, L"CLSID\\" + *clsid + L"\\InprocServer32", nullptr).has_value();
}

void ForgetTabControl() {
    if (auto clsid = RegString(HKEY_CLASSES_ROOT, std::wstring(kControlProgId) + L"\\CLSID", nullptr)) {
        RegDeleteTree(HKEY_CLASSES_ROOT, L"CLSID\\" + *clsid);
    }
    RegDeleteTree(HKEY_CLASSES_ROOT, kControlProgId);
}

}  // namespace addintest
