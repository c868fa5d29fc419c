#pragma once
// The host's automation interface to its menu groups. Every call returns a result code:
// S_OK (0) on success, a negative HRESULT on failure, so every failure path can happen and
// be tested. Objects are reference counted through shared_ptr; a group object stays valid
// after its group was unloaded; every call on it then fails.
#include <cstdint>
#include <memory>
#include <string>

namespace cadhost {

using HRESULT = std::int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005u);

class IAcadMenuGroup {
public:
    virtual ~IAcadMenuGroup() = default;
    virtual HRESULT get_Name(std::string& name) = 0;
    // Full path of the menu file the group was loaded from.
    virtual HRESULT get_MenuFileName(std::string& path) = 0;
    virtual HRESULT Unload() = 0;
};

class IAcadMenuGroups {
public:
    virtual ~IAcadMenuGroups() = default;
    virtual HRESULT get_Count(std::int32_t& count) = 0;
    virtual HRESULT Item(std::int32_t index, std::shared_ptr<IAcadMenuGroup>& group) = 0;
    // Loads a menu file (.mnu or .cuix). baseMenu false loads it as a partial menu.
    // Fails when the file cannot be read or parsed, or its group is already loaded.
    virtual HRESULT Load(const std::string& menuFile, bool baseMenu,
                         std::shared_ptr<IAcadMenuGroup>& group) = 0;
    // A number that changes with every load and unload of a group, whoever makes it (the
    // loader, another application, a command). Equal numbers mean the same groups in the same
    // order, so a caller may keep what it read from the collection while the number stays.
    // E_NOTIMPL from a collection that keeps no such number.
    virtual HRESULT get_ChangeCount(std::uint64_t& count) = 0;
};

class IAcadApplication {
public:
    virtual ~IAcadApplication() = default;
    virtual HRESULT get_MenuGroups(std::shared_ptr<IAcadMenuGroups>& groups) = 0;
};

}  // namespace cadhost

// The host's application object for automation; null when no host runs in the process.
cadhost::IAcadApplication* acedGetAcadWinApp();
