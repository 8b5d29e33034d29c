// Resource ids shared by the .rc files and the code that loads them.
#pragma once

#define IDR_TYPELIB 1           // type library, resource type "TYPELIB"
#define IDI_WORKBOOK 201        // 16 x 16 workbook icon of the tabs
#define IDI_ABOUT 202           // 32 x 32 icon of the about dialog (also the link's pointer)
#define IDR_CONTROL_MODULE 101  // Corvane.ocx, resource type "OFFICE", language 2052
