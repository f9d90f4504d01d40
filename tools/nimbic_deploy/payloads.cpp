// Reading the plug-in and script payloads out of a setup program's resources.
#include "tools/nimbic_deploy/payloads.h"

#include "engine/install_worker.h"
#include "installer/product.h"
#include "tools/nimbic_deploy/options.h"

namespace nimbic::deploy {

std::optional<std::string> Payloads::Open(const std::u16string& path)
{
    const std::string named = "the setup program " + Quoted(path);
    if (sys::kind_of(path) == sys::path_kind::folder)
        return named + " is a folder";
    switch (sys::open_data_module(path, &m_module)) {
    case sys::module_result::opened:
        break;
    case sys::module_result::missing:
        return named + " does not exist";
    case sys::module_result::unreadable:
        return named + " cannot be read (access is denied, or another program holds it)";
    case sys::module_result::not_a_program:
        return named + " is not a Windows program";
    }
    const sys::resource plugin = sys::find_resource(plugin_resource_id, m_module);
    const sys::resource scripts = sys::find_resource(scripts_resource_id, m_module);
    if (!plugin || !scripts)
        return named + " is not a " + std::string(product::name) +
               " setup program: it carries no plug-in and script payloads";
    const auto* plugin_bytes = Lock(plugin);
    const auto* scripts_bytes = Lock(scripts);
    if (!plugin_bytes || !scripts_bytes)
        return "the payloads of " + named + " cannot be loaded";
    m_plugin.assign(plugin_bytes, sys::resource_size(plugin, m_module));
    const int32_t status =
        ReadScriptPackage(scripts_bytes, sys::resource_size(scripts, m_module), &m_scripts);
    if (status != package_status::ok)
        return named + " carries a damaged script package: " + PackageStatusText(status);
    return std::nullopt;
}

const char* Payloads::Lock(sys::resource found) const
{
    const uintptr_t loaded = sys::load_resource(found, m_module);
    return loaded ? static_cast<const char*>(sys::lock_resource(loaded)) : nullptr;
}

} // namespace nimbic::deploy
