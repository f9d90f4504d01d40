// Finding the registered After Effects versions and turning them into install targets.
#include "engine/install_state.h"

#include "engine/paths.h"
#include "engine/system/system.h"
#include "toolkit/core/text_conversion.h"

#include <algorithm>
#include <array>

namespace nimbic {

namespace {

constexpr std::array<const char*, 12> fixed_version_names = {
    "CS3",    "CS4",    "CS5",      "CS55",   "CS6",    "CC",
    "CC2014", "CC2015", "CC2015.3", "CC2017", "CC2018", "Custom"};

constexpr int skip_version = -1;
constexpr int unlisted_version = -2;

struct SubKeyRow {
    const char16_t* name;
    int slot;
};

// Compared in this order; the first exact match decides.
constexpr std::array<SubKeyRow, 11> sub_key_table = {{
    {u"8.0", skip_version},
    {u"9.0", skip_version},
    {u"10.0", skip_version},
    {u"10.5", skip_version},
    {u"11", skip_version},
    {u"12", 5},
    {u"13", 6},
    {u"13.5", 7},
    {u"13.8", 8},
    {u"14.0", 9},
    {u"15.0", 10},
}};

int SlotForSubKey(std::u16string_view name)
{
    for (const SubKeyRow& row : sub_key_table) {
        if (name == row.name)
            return row.slot;
    }
    return unlisted_version;
}

bool IsWhiteSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

constexpr size_t name_buffer_chars = 256;
constexpr size_t value_buffer_chars = 256;

} // namespace

InstallState::InstallState()
    : m_version_names(fixed_version_names.begin(), fixed_version_names.end())
{
}

std::vector<std::u16string> InstallState::ScanHostVersions()
{
    std::vector<std::u16string> folders(fixed_version_names.size());
    // Asked before the first open, as the scan is described: the answer decides the passes.
    const bool wow64 = sys::is_wow64_process();
    ScanRegistryView(sys::key_read, folders);
    // A 32-bit process sees the 32-bit view first; the 64-bit host registers in the other one.
    if (wow64)
        ScanRegistryView(sys::key_read | sys::key_wow64_64key, folders);
    return folders;
}

void InstallState::ScanRegistryView(uint32_t access, std::vector<std::u16string>& folders)
{
    sys::reg_key key = 0;
    if (sys::reg_open_local_machine(u"SOFTWARE\\Adobe\\After Effects", access, &key) != sys::reg_ok)
        return;
    uint32_t count = 0;
    if (sys::reg_query_sub_key_count(key, &count) != sys::reg_ok)
        count = 0;
    for (uint32_t index = 0; index < count; ++index) {
        std::array<char16_t, name_buffer_chars> name{};
        uint32_t name_length = name_buffer_chars - 1;
        if (sys::reg_enum_key(key, index, name.data(), &name_length) != sys::reg_ok)
            continue;
        const std::u16string sub_key(name.data(), std::min<size_t>(name_length, name.size() - 1));

        std::array<char16_t, value_buffer_chars> value{};
        uint32_t value_bytes = value_buffer_chars * sizeof(char16_t);
        if (sys::reg_get_string(key, sub_key, u"PluginInstallPath", value.data(), &value_bytes) !=
            sys::reg_ok)
            continue;
        value.back() = u'\0';
        const std::u16string folder = to_backslashes(std::u16string(value.data()));

        const int slot = SlotForSubKey(sub_key);
        if (slot >= 0) {
            folders[static_cast<size_t>(slot)] = folder;
        } else if (slot == unlisted_version && !folder.empty()) {
            folders.push_back(folder);
            m_version_names.push_back(DisplayNameFromPluginFolder(folder));
        }
    }
    sys::reg_close(key);
}

std::string DisplayNameFromPluginFolder(std::u16string_view plugin_folder)
{
    if (plugin_folder.empty())
        return {};
    const std::u16string grandparent = path_filename(path_parent(path_parent(plugin_folder)));
    std::string name = zksdk::ui::utf16_to_utf8(grandparent);

    constexpr std::string_view host_name = "After Effects";
    const size_t found = name.rfind(host_name);
    if (found != std::string::npos && found + host_name.size() < name.size())
        name.erase(0, found + host_name.size());

    std::erase_if(name, IsWhiteSpace);
    return name;
}

void BuildInstallTargets(InstallState& state, std::vector<InstallTarget>& targets)
{
    const std::vector<std::u16string> folders = state.ScanHostVersions();
    for (size_t i = 0; i < folders.size(); ++i) {
        if (folders[i].empty())
            continue;
        InstallTarget target;
        target.index = static_cast<int32_t>(i);
        target.plugin_folder = folders[i];
        target.scripts_folder = path_join(path_parent(folders[i]), u"Scripts");
        target.ticked = true;
        targets.push_back(std::move(target));
    }
    InstallTarget custom;
    custom.index = custom_version_index;
    targets.push_back(std::move(custom));
}

} // namespace nimbic
