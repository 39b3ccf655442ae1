// The window tests' process: COM and the common controls on the test thread,
// the program's names, engines and icon list, and a watchdog that ends a
// hung test with a failure instead of letting it wait for ever.
#include "desktop_win32/win32_api.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

#include "common/app_info.h"
#include "desktop_win32/icon_cache.h"
#include "engines/register_engines.h"

namespace {

constexpr DWORD kWatchdogMs = 240'000;

class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        INITCOMMONCONTROLSEX controls{};
        controls.dwSize = sizeof controls;
        controls.dwICC = ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES | ICC_LINK_CLASS;
        InitCommonControlsEx(&controls);
        qm::GetAppInfo().SetNames(u"栎弦文件校验工具", u"Quorvia 2.0", nullptr);
        qm::GetAppInfo().SetTitle(u"栎弦文件校验工具");
        qm::RegisterBuiltInEngines();
        qm::win32::CreateIconList();
        std::thread([] {
            Sleep(kWatchdogMs);
            std::fprintf(stderr, "watchdog: the test did not end within %lu s\n", kWatchdogMs / 1000);
            std::fflush(stderr);
            ExitProcess(124);
        }).detach();
    }
    void TearDown() override { qm::win32::DestroyIconList(); }
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

}  // namespace
