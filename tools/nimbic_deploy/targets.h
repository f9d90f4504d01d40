// The folders nimbic-deploy works on: the registered host versions, picked by name, and the
// setup program it reads the payloads from by default.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nimbic::deploy {

inline constexpr std::u16string_view maker_folder = u"Vantrel";
inline constexpr std::u16string_view plugin_file = u"Vantrel\\Nimbic.aex";

// One host version, or the Custom folders, under the name the report shows.
struct Target {
    std::string name;
    std::u16string plugin_folder;
    std::u16string scripts_folder;
};

std::u16string PluginPath(const Target& target);

// The found versions, as the wizard lists them, without its empty Custom entry.
std::vector<Target> FoundVersions();

// Keeps the targets named by --only; an unknown name is a usage error that lists the found ones.
std::optional<std::string> PickTargets(const std::vector<std::u16string>& only,
                                       std::vector<Target>& targets);

inline constexpr std::u16string_view setup_file_name = u"NimbicSetup.exe";

// The file `name` beside this program, or nothing when our own path cannot be read.
std::optional<std::u16string> FileBesideProgram(std::u16string_view name);

class Report;
// Drops every found version whose plug-in folder is gone (a stale registration left by an
// uninstalled After Effects), each with a line saying so: the others still get the plug-in.
void SkipMissingPluginFolders(std::vector<Target>& targets, Report& report);

} // namespace nimbic::deploy
