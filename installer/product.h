// The product's names and numbers as the wizard shows them. cmake/product_identity.cmake reads
// them into NimbicSetup.exe's version information, so each stays a one-line literal.
#pragma once

#include <string_view>

namespace nimbic::product {

inline constexpr std::string_view name = "Nimbic Plug-in";
inline constexpr std::string_view installer_name = "Nimbic Plug-in Installer";
inline constexpr std::string_view host_name = "After Effects";
inline constexpr std::string_view with_host = "Nimbic Plug-in for After Effects";
inline constexpr std::string_view window_title = "Nimbic Plug-in for After Effects Installer";
inline constexpr std::string_view uninstaller_title =
    "Nimbic Plug-in for After Effects Uninstaller";
inline constexpr std::string_view maker = "Vantrel";
// The trailing space is part of the stored version: the welcome text shows two spaces after it.
inline constexpr std::string_view version = "1.0.5 ";
inline constexpr std::string_view license_link = "Vantrel Software License Agreement";
// The maker's web addresses, empty until a vendor sets them: the product's page (Add or Remove
// Programs' link and winget's PublisherUrl and PackageUrl) and its support page (the "Help"
// link and winget's PublisherSupportUrl). scripts/make-msi reads them; an empty one is left out.
inline constexpr std::string_view about_url = "";
inline constexpr std::string_view help_url = "";
// The first year of the rights notice in the header; the last is the current year.
inline constexpr int first_notice_year = 2024;

} // namespace nimbic::product
