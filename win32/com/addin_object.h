// The creatable connection class: Office's add-in connection interface over
// the core's ZereZovaveAddin.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace tarnwick::win32 {

// Office's add-in connection interface (dual). MinGW's headers do not carry it.
enum ext_ConnectMode { ext_cm_AfterStartup = 0, ext_cm_Startup = 1, ext_cm_External = 2, ext_cm_CommandLine = 3 };
enum ext_DisconnectMode { ext_dm_HostShutdown = 0, ext_dm_UserClosed = 1 };

struct IDTExtensibility2 : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* Application, ext_ConnectMode ConnectMode,
                                                   IDispatch* AddInInst, SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnDisconnection(ext_DisconnectMode RemoveMode, SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) = 0;
};

// DISPIDs of the interface's methods, for callers that go through Invoke.
namespace ext_dispid {
inline constexpr DISPID OnConnection = 1;
inline constexpr DISPID OnDisconnection = 2;
inline constexpr DISPID OnAddInsUpdate = 3;
inline constexpr DISPID OnStartupComplete = 4;
inline constexpr DISPID OnBeginShutdown = 5;
}  // namespace ext_dispid

extern const IID IID_IDTExtensibility2;     // {B65AD801-ABAF-11D0-BB8B-00A0C90F2744}
extern const IID IID__ZereZovaveAddin;      // {15AF10A4-BDD4-470B-9ED5-497082F38B61}
extern const CLSID CLSID_ZereZovaveAddin;   // {157952BC-9669-489A-A948-DBB13BB983A6}
extern const GUID LIBID_TarnwickAddin;      // {1D1D3C5B-2FBC-46A6-A36F-436F849D4D35}

// Creates a connection object and QueryInterfaces it for `iid`.
HRESULT CreateZereZovaveAddin(REFIID iid, void** out);

}  // namespace tarnwick::win32
