// The explanation of a failed component, shared by the wizard's failure popup and the
// command-line deployment's report.
#include "engine/install_messages.h"

#include "engine/system/system.h"
#include "toolkit/core/text_conversion.h"

#include <initializer_list>
#include <string_view>

namespace nimbic {

namespace {

constexpr std::string_view corrupt_hint = ").\n - The installer file may be corrupt.";
constexpr std::string_view create_hints =
    ").\n - Make sure that After Effects is closed\n - Make sure you have enough disk space.\n"
    " - Make sure you have administrative privileges.";
constexpr std::string_view space_hints =
    ").\n - Make sure you have enough disk space.\n - Make sure you have administrative "
    "privileges.";
constexpr std::string_view download_hint = ").\n - Please download the installer again.";
constexpr std::string_view link_hints =
    ").\n - A folder on the way is a link or mount point to another place; nothing was written "
    "there.\n - Remove the link, or choose the folder it leads to.";
constexpr std::string_view owner_hints =
    ").\n - The Vantrel folder in the plug-in folder was made by a user without administrator "
    "rights.\n - Delete that Vantrel folder, then install again.";

struct ErrorRow {
    std::initializer_list<int32_t> codes;
    std::string_view lead;
    std::string_view tail;
};

bool Contains(std::initializer_list<int32_t> codes, int32_t code)
{
    for (const int32_t candidate : codes) {
        if (candidate == code) {
            return true;
        }
    }
    return false;
}

} // namespace

std::string InstallErrorText(int32_t code)
{
    static const ErrorRow rows[] = {
        {{20, 30}, "Could not load the plugin file from the installer (Error code: ", corrupt_hint},
        {{40, 50, 401}, "Could not create the plugin file (Error code: ", create_hints},
        {{45}, "Could not create the plugin file (Error code: ", link_hints},
        {{46}, "Could not create the plugin file (Error code: ", owner_hints},
        {{125}, "Could not create the script files (Error code: ", link_hints},
        {{60, 110, 111, 112, 130},
         "Could not load the script file from the installer (Error code: ",
         corrupt_hint},
        {{120, 131}, "Could not create the script files (Error code: ", create_hints},
        {{121, 122, 123, 124, 200},
         "Could not decompress the script files correctly (Error code: ",
         corrupt_hint},
        {{210, 211, 212, 230},
         "Could not load the assets file from the installer (Error code: ",
         corrupt_hint},
        {{220, 231}, "Could not create assets files (Error code: ", space_hints},
        {{221, 222, 223, 224, 300},
         "Could not decompress the assets files correctly (",
         corrupt_hint},
        {{400}, "Authorization request was denied (Error code: ", ")."},
        {{1000}, "Could not find the installer package (Error code: ", download_hint},
        {{1001}, "Could not find the installer package (Error code: ", corrupt_hint},
    };
    for (const ErrorRow& row : rows) {
        if (Contains(row.codes, code)) {
            return std::string(row.lead) + std::to_string(code) + std::string(row.tail);
        }
    }
    return "Unkown error (" + std::to_string(code) + ").";
}

std::string InUseLine(const std::vector<std::u16string>& paths)
{
    std::string line;
    for (const std::u16string& name : sys::programs_using_files(paths))
        line += (line.empty() ? "In use by: " : ", ") + zksdk::ui::utf16_to_utf8(name);
    return line;
}

} // namespace nimbic
