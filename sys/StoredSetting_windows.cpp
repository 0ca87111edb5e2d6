#include "sys/StoredSetting.h"

#include <memory>
#include <type_traits>
#include <utility>

#include "sys/WindowsApi.h"
#include "sys/WindowsText.h"

namespace lmp::sys {

namespace {

struct CloseKey {
    void operator()(HKEY key) const noexcept { RegCloseKey(key); }
};

} // namespace

std::optional<StoredSetting> ReadStoredSetting(std::string_view place, std::string_view name)
{
    const std::pair<std::string_view, HKEY> kRoots[] = {{"\\HKEY_LOCAL_MACHINE\\", HKEY_LOCAL_MACHINE},
                                                        {"\\HKEY_CURRENT_USER\\", HKEY_CURRENT_USER}};
    HKEY opened = nullptr;
    for (const auto& [prefix, root] : kRoots) {
        if (place.starts_with(prefix)) {
            const std::wstring subkey = WideFromUtf8(place.substr(prefix.size()));
            if (RegOpenKeyExW(root, subkey.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) {
                return std::nullopt;
            }
            break;
        }
    }
    if (opened == nullptr) {
        return std::nullopt;
    }
    const std::unique_ptr<std::remove_pointer_t<HKEY>, CloseKey> key(opened);
    const std::wstring value = WideFromUtf8(name);
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), value.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        return StoredSetting{};
    }
    // The value may grow between the two calls: then it is asked for again.
    std::wstring text;
    LSTATUS status = ERROR_MORE_DATA;
    while (status == ERROR_MORE_DATA) {
        text.assign(size / sizeof(wchar_t) + 1, L'\0');
        size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        status = RegQueryValueExW(key.get(), value.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(text.data()), &size);
    }
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::nullopt;
    }
    // The stored string need not end in a zero, or may end in several.
    text.resize(size / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') {
        text.pop_back();
    }
    return StoredSetting{true, Utf8FromWide(text)};
}

} // namespace lmp::sys
