// The two payloads of a setup program, read once without running it.
#pragma once

#include "engine/script_package.h"
#include "engine/system/system.h"

#include <optional>
#include <string>
#include <vector>

namespace nimbic::deploy {

// The plug-in's bytes and the package's files of one setup program; owns the loaded module.
class Payloads {
public:
    Payloads() = default;
    Payloads(const Payloads&) = delete;
    Payloads& operator=(const Payloads&) = delete;
    ~Payloads() { sys::close_module(m_module); }

    // Returns what is wrong with the file, or nothing when both payloads were read.
    std::optional<std::string> Open(const std::u16string& path);

    sys::module module() const { return m_module; }
    const std::string& plugin() const { return m_plugin; }
    const std::vector<PackageFile>& scripts() const { return m_scripts; }

private:
    const char* Lock(sys::resource found) const;

    sys::module m_module = sys::own_program;
    std::string m_plugin;
    std::vector<PackageFile> m_scripts;
};

} // namespace nimbic::deploy
