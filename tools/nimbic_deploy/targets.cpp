// Finding the targets: the wizard's own scan, narrowed by --only.
#include "tools/nimbic_deploy/targets.h"

#include "engine/install_state.h"
#include "engine/paths.h"
#include "engine/system/system.h"
#include "toolkit/core/text_conversion.h"
#include "tools/nimbic_deploy/report.h"

#include <algorithm>

namespace nimbic::deploy {

namespace {

using zksdk::ui::utf16_to_utf8;

bool SameNameIgnoringCase(std::string_view a, std::string_view b)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

} // namespace

std::u16string PluginPath(const Target& target)
{
    return path_join(target.plugin_folder, plugin_file);
}

std::vector<Target> FoundVersions()
{
    InstallState state;
    std::vector<InstallTarget> found;
    BuildInstallTargets(state, found);
    std::vector<Target> targets;
    for (const InstallTarget& target : found) {
        if (target.index != custom_version_index)
            targets.push_back({state.version_names()[static_cast<size_t>(target.index)],
                               target.plugin_folder, target.scripts_folder});
    }
    return targets;
}

std::optional<std::string> PickTargets(const std::vector<std::u16string>& only,
                                       std::vector<Target>& targets)
{
    if (only.empty())
        return std::nullopt;
    std::vector<Target> picked;
    for (const std::u16string& wanted : only) {
        const std::string name = utf16_to_utf8(wanted);
        bool known = false;
        for (const Target& target : targets) {
            if (!SameNameIgnoringCase(target.name, name))
                continue;
            known = true;
            const bool already = std::any_of(picked.begin(), picked.end(), [&](const Target& t) {
                return t.plugin_folder == target.plugin_folder;
            });
            if (!already)
                picked.push_back(target);
        }
        if (!known) {
            std::string listed;
            for (const Target& target : targets)
                listed += (listed.empty() ? "" : ", ") + target.name;
            return "no version named \"" + name +
                   "\" was found on this machine (found: " + (listed.empty() ? "none" : listed) +
                   ")";
        }
    }
    targets = std::move(picked);
    return std::nullopt;
}

std::optional<std::u16string> FileBesideProgram(std::u16string_view name)
{
    std::u16string own;
    if (!sys::own_program_path(&own))
        return std::nullopt;
    return path_join(path_parent(to_backslashes(own)), name);
}

void SkipMissingPluginFolders(std::vector<Target>& targets, Report& report)
{
    std::erase_if(targets, [&](const Target& target) {
        if (sys::kind_of(target.plugin_folder) == sys::path_kind::folder)
            return false;
        report.Row(target, "plug-in", "skipped (the plug-in folder does not exist)",
                   target.plugin_folder,
                   "After Effects is registered here but its folder is gone; this version is "
                   "left out.");
        return true;
    });
}

} // namespace nimbic::deploy
