// The suite runs on one STA thread with a message loop pumped by the tests.
// Corvane.ocx is registered once up front with regsvr32, the way the add-in
// deploys it: "regsvr32 <path> /s".
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "host.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (FAILED(OleInitialize(nullptr))) {
        std::fprintf(stderr, "OleInitialize failed\n");
        return 1;
    }
    const std::wstring regsvr32 = tabtest::SystemDirectory() + L"\\regsvr32.exe";
    const int rc = tabtest::RunProcess(regsvr32, L"regsvr32 " + tabtest::OcxPath() + L" /s");
    if (rc != 0) {
        std::fprintf(stderr, "regsvr32 of %s failed: %d\n", tabtest::Narrow(tabtest::OcxPath()).c_str(), rc);
        OleUninitialize();
        return 1;
    }
    const int result = RUN_ALL_TESTS();
    OleUninitialize();
    return result;
}
