// The command handler behind the two popup menus: oBtnExcel and its click.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "interop/excel.h"

namespace tarnwick {

// Command identifiers carried in the buttons' Parameter.
namespace cmd {
inline constexpr const wchar_t* Close = L"Close";
inline constexpr const wchar_t* Save = L"Save";
inline constexpr const wchar_t* SaveAll = L"SaveAll";
inline constexpr const wchar_t* SaveAs = L"SaveAs";
inline constexpr const wchar_t* CloseOther = L"CloseOther";
inline constexpr const wchar_t* CloseAll = L"CloseAll";
inline constexpr const wchar_t* OpenDir = L"OpenDir";
inline constexpr const wchar_t* About = L"About";
inline constexpr const wchar_t* New = L"New";
}  // namespace cmd

inline constexpr const wchar_t* kButtonTag = L"Tarnwick";

// A drive path ("C:\\...") or a UNC path: a folder the explorer can show.
bool IsFilePath(const std::wstring& fullName);
inline constexpr const wchar_t* kTabBar = L"TabBar";
inline constexpr const wchar_t* kTabBarII = L"TabBarII";

class WorkbookCommands : public excel::ButtonClickSink {
public:
    // The application the commands act on (oEventAppExcel); nothing detaches.
    void SetApplication(const std::shared_ptr<excel::Application>& app) { oEventAppExcel_ = app; }

    // oBtnExcel = button: subscribes to its click (nothing unsubscribes).
    void SetButton(const std::shared_ptr<excel::CommandBarControl>& button);
    const std::shared_ptr<excel::CommandBarControl>& oBtnExcel() const { return oBtnExcel_; }

    // Disconnection: oBtnExcel, then the application, then the cursor.
    void Release();
    bool HoldsHostReferences() const;

    void Click(const std::shared_ptr<excel::CommandBarControl>& Ctrl, bool& CancelDefault) override {
        oBtnExcel_Click(Ctrl, CancelDefault);
    }
    void oBtnExcel_Click(const std::shared_ptr<excel::CommandBarControl>& Ctrl, bool& CancelDefault);

private:
    void ExecuteBuiltIn(int32_t id);
    void SaveAllWorkbooks();
    void CloseOtherWorkbooks();
    void CloseAllWorkbooks();
    // Activates and closes each visible workbook of the snapshot but `kept`.
    void CloseVisibleWorkbooks(const std::vector<std::shared_ptr<excel::Workbook>>& workbooks,
                               const std::optional<std::wstring>& kept);
    void OpenContainingFolder();
    void ShowAbout();

    std::shared_ptr<excel::Application> oEventAppExcel_;
    std::shared_ptr<excel::CommandBarControl> oBtnExcel_;
    std::unique_ptr<excel::Subscription> clickSubscription_;
    std::shared_ptr<excel::Workbook> workbookCursor_;
};

}  // namespace tarnwick
