// Factories for the command suites: a simulated Excel 2003 with workbooks and
// the add-in connected to it, plus the user's ways into the popup menus.
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "addin/zere_zovave_addin.h"
#include "interop/addin_state.h"
#include "sim/world.h"

namespace tarnwick::testing {

// The two menus' captions, as the user reads them.
namespace caption {
inline constexpr const wchar_t* Close = L"关闭工作簿(&C)";
inline constexpr const wchar_t* Save = L"保存工作簿(&S)";
inline constexpr const wchar_t* SaveAll = L"保存所有工作簿(&Y)";
inline constexpr const wchar_t* SaveAs = L"另存为(&A)";
inline constexpr const wchar_t* CloseOther = L"关闭其它工作簿(&O)";
inline constexpr const wchar_t* CloseAll = L"关闭所有工作簿(&L)";
inline constexpr const wchar_t* OpenDir = L"打开所在文件夹(&Y)";
inline constexpr const wchar_t* About = L"关于此切换插件(&Y)";
inline constexpr const wchar_t* New = L"新建空白工作簿(&N)";
}  // namespace caption

class Session {
public:
    Session() : world_(std::make_unique<sim::World>()), addin_(std::make_unique<ZereZovaveAddin>()) {}
    ~Session() {
        if (connected_) addin_->AddinInstance_OnDisconnection();
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    sim::World& world() { return *world_; }
    ZereZovaveAddin& addin() { return *addin_; }

    void Connect() {
        addin_->AddinInstance_OnConnection(world_->Application(), ext_cm_AfterStartup);
        connected_ = true;
    }
    void Disconnect() {
        addin_->AddinInstance_OnDisconnection();
        connected_ = false;
    }

private:
    std::unique_ptr<sim::World> world_;
    std::unique_ptr<ZereZovaveAddin> addin_;
    bool connected_ = false;
};

// Excel with these workbooks opened in order (the last one active), the
// add-in connected and its strip shown.
inline std::unique_ptr<Session> ConnectedWith(const std::vector<std::wstring>& fullNames) {
    auto session = std::make_unique<Session>();
    for (const auto& fullName : fullNames) session->world().OpenWorkbook(fullName);
    session->Connect();
    return session;
}

inline const std::vector<std::wstring> kThreeBooks = {L"C:\\data\\a.xls", L"C:\\data\\b.xls", L"C:\\data\\c.xls"};

// "Close(a.xls)" -> "Close": the kind of built-in command Excel ran.
inline std::vector<std::wstring> CommandKinds(const sim::World& world) {
    std::vector<std::wstring> kinds;
    for (const auto& executed : world.ExecutedCommands()) kinds.push_back(executed.substr(0, executed.find(L'(')));
    return kinds;
}

inline bool Contains(const std::vector<std::wstring>& list, const std::wstring& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

// UTF-8 for trace messages (the captions are Chinese).
inline std::string Utf8(const std::wstring& text) {
    std::string out;
    for (wchar_t wc : text) {
        const auto c = static_cast<uint32_t>(wc);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace tarnwick::testing
