// The Excel and Office object model over late-bound IDispatch calls. Each
// wrapper holds one reference on its host object and releases it when the
// last shared_ptr to it goes.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <memory>

#include "interop/excel.h"

namespace tarnwick::win32 {

// Published identifiers of the host's event interfaces.
extern const IID DIID_AppEvents;               // {00024413-0000-0000-C000-000000000046}
extern const IID DIID_CommandBarButtonEvents;  // {000C0351-0000-0000-C000-000000000046}

// Nothing for a null object.
std::shared_ptr<excel::Application> WrapApplication(IDispatch* application);
std::shared_ptr<excel::Workbook> WrapWorkbook(IDispatch* workbook);
std::shared_ptr<excel::CommandBarControl> WrapCommandBarControl(IDispatch* control);

}  // namespace tarnwick::win32
