// Parsing nimbic-deploy's command line into a command and its options.
#include "tools/nimbic_deploy/options.h"

#include "engine/opened_folder.h"
#include "engine/paths.h"
#include "engine/system/system.h"
#include "toolkit/core/text_conversion.h"

namespace nimbic::deploy {

namespace {

using zksdk::ui::utf16_to_utf8;

constexpr command all_commands[] = {command::list,      command::install,  command::verify,
                                    command::uninstall, command::rollback, command::commit};

std::optional<command> CommandNamed(std::u16string_view name)
{
    for (const command what : all_commands) {
        if (CommandName(what) == name)
            return what;
    }
    return std::nullopt;
}

constexpr std::u16string_view allow_no_versions = u"--allow-no-versions";
constexpr std::u16string_view take_over_wizard = u"--take-over-wizard-install";

// Listing only reads: it has no targets to pick and nothing to log. Verifying nothing is no
// success, so only the commands that change files may be told that no host is fine. Rollback
// and commit work from their journal alone.
bool Accepts(command what, std::u16string_view option)
{
    const bool changes = what == command::install || what == command::uninstall;
    if (what == command::rollback || what == command::commit)
        return option == u"--journal" || option == u"--log" || option == u"--log-folder";
    if (option == u"--from")
        return true;
    if (option == u"--remove-empty-folder")
        return what == command::uninstall;
    if (option == take_over_wizard)
        return what == command::install;
    if (option == allow_no_versions || option == u"--journal" || option == u"--record")
        return changes;
    return what != command::list &&
           (option == u"--only" || option == u"--plugin-folder" || option == u"--scripts-folder" ||
            option == u"--log" || option == u"--log-folder");
}

std::optional<std::u16string>* Slot(Options& options, std::u16string_view option)
{
    if (option == u"--from")
        return &options.from;
    if (option == u"--plugin-folder")
        return &options.plugin_folder;
    if (option == u"--scripts-folder")
        return &options.scripts_folder;
    if (option == u"--journal")
        return &options.journal;
    if (option == u"--record")
        return &options.record;
    if (option == u"--log-folder")
        return &options.log_folder;
    return &options.log;
}

} // namespace

std::u16string_view CommandName(command what)
{
    switch (what) {
    case command::list:
        return u"list";
    case command::install:
        return u"install";
    case command::verify:
        return u"verify";
    case command::uninstall:
        return u"uninstall";
    case command::rollback:
        return u"rollback";
    case command::commit:
        return u"commit";
    }
    return u"";
}

std::string Quoted(std::u16string_view text)
{
    return "\"" + utf16_to_utf8(text) + "\"";
}

bool IsHelp(std::u16string_view argument)
{
    return argument == u"--help" || argument == u"-h" || argument == u"/?";
}

std::optional<std::string> ParseOptions(const std::vector<std::u16string>& arguments,
                                        Options& options)
{
    if (arguments.empty())
        return std::string("no command given");
    const std::optional<command> what = CommandNamed(arguments[0]);
    if (!what)
        return "unknown command " + Quoted(arguments[0]);
    options.what = *what;
    for (size_t i = 1; i < arguments.size(); ++i) {
        std::u16string option = arguments[i];
        std::optional<std::u16string> value;
        if (const size_t equals = option.find(u'=');
            option.starts_with(u"--") && equals != std::u16string::npos) {
            value = option.substr(equals + 1);
            option.resize(equals);
        }
        if (!Accepts(options.what, option))
            return "unknown option " + Quoted(option) + " for " + utf16_to_utf8(arguments[0]);
        if (option == allow_no_versions || option == take_over_wizard) {
            if (value)
                return Quoted(option) + " takes no value";
            (option == allow_no_versions ? options.allow_no_versions
                                         : options.take_over_wizard) = true;
            continue;
        }
        if (!value) {
            if (i + 1 == arguments.size())
                return Quoted(option) + " needs a value";
            value = arguments[++i];
        }
        if (value->empty())
            return Quoted(option) + " needs a value";
        if (option == u"--only") {
            options.only.push_back(*value);
            continue;
        }
        // What is written, and kept in a journal or record, is named by its whole path: a
        // rollback or uninstall from another folder must find the same files.
        if (option == u"--remove-empty-folder") {
            options.remove_empty.push_back(WholePath(*value));
            continue;
        }
        std::optional<std::u16string>& slot = *Slot(options, option);
        if (slot)
            return Quoted(option) + " is given twice";
        // The setup program is only read, and named in messages as the caller typed it.
        slot = option == u"--from" ? to_backslashes(*value) : WholePath(*value);
    }
    if (options.plugin_folder.has_value() != options.scripts_folder.has_value())
        return std::string(
            "--plugin-folder and --scripts-folder go together: give both or neither");
    for (const auto* folder : {&options.plugin_folder, &options.scripts_folder}) {
        if (*folder && sys::kind_of(**folder) == sys::path_kind::file)
            return Quoted(**folder) + " is a file, not a folder";
    }
    if ((options.what == command::rollback || options.what == command::commit) && !options.journal)
        return utf16_to_utf8(arguments[0]) + " needs --journal FILE";
    if (options.log && options.log_folder)
        return std::string("give --log or --log-folder, not both");
    if (options.log && sys::kind_of(*options.log) == sys::path_kind::folder)
        return "the log " + Quoted(*options.log) + " is a folder";
    for (const auto* file : {&options.journal, &options.record}) {
        if (*file && sys::kind_of(**file) == sys::path_kind::folder)
            return Quoted(**file) + " is a folder";
    }
    return std::nullopt;
}

} // namespace nimbic::deploy
