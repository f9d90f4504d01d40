// The names of this product's files: the only files an uninstall or a rollback deletes or puts
// back. A second guard, after the owner checks, against a record or journal that names files
// of someone else's (a planted or damaged one).
#pragma once

#include <string_view>

namespace nimbic {

// The setup program's copy in the product folder, which the wizard puts there for its Apps entry.
inline constexpr std::u16string_view program_copy_name = u"NimbicSetup.exe";

// True for "Vantrel\Nimbic.aex", a host script (".jsx", ".jsxbin", ".jsxinc") and the install
// record ("install-record.txt"), by the last components of the path, ignoring case.
bool IsOwnFileName(std::u16string_view path);
// True for the wizard's program copy, "Vantrel\Nimbic Plug-in\NimbicSetup.exe": a file a
// journal may put back or delete, never one a record names.
bool IsProgramCopyPath(std::u16string_view path);

// True for "<name>.<16 hex digits>.nimbic-old", a backup of `name`.
bool IsBackupNameOf(std::u16string_view candidate, std::u16string_view name);
// True for the names our writer and journal put files aside under: "<any name>.<16 hex
// digits>.nimbic-old" (backups) and ".nimbic-new" (temporaries). No host loads them, and
// nobody else makes them.
bool IsAsideName(std::u16string_view name);

} // namespace nimbic
