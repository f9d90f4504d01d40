// The install record: every file an install put in place, with its size and SHA-256, so that an
// uninstall removes exactly the files whose bytes are still ours, with neither the setup program
// nor its payloads at hand. The wizard and nimbic-deploy keep one record, in the product folder.
#pragma once

#include "engine/sha256.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nimbic {

class Journal;

// The product folder below Program Files, the one the MSI installs its programs into.
inline constexpr std::u16string_view product_folder_name = u"Vantrel\\Nimbic Plug-in";
// The record's file name in that folder (nimbic-deploy looks for it beside itself).
inline constexpr std::u16string_view install_record_name = u"install-record.txt";

enum class record_component { plugin, script };

// "plug-in" or "script", as the record file and the reports spell it.
std::string_view ComponentName(record_component component);

// How a recorded file came to be there: made where there was none, put over an earlier file,
// or found holding our bytes already; unknown in records written before this was kept.
enum class record_origin { unknown, created, replaced, found };

// "created", "replaced", "found", "unknown", as the record file spells it.
std::string_view OriginName(record_origin origin);

// One installed file.
struct RecordEntry {
    record_component component = record_component::plugin;
    std::string target;  // the version's name as the wizard lists it ("2019"), or "Custom"
    std::u16string path; // the whole path, "\" separators
    uint64_t size = 0;
    Sha256Digest sha256{};
    record_origin origin = record_origin::unknown;
};

enum class record_status {
    ok,
    missing,     // no record yet: nothing recorded (Load leaves the record empty)
    unreadable,  // it exists but cannot be read, or it is reached through a link
    damaged,     // not a record, or some lines are not entries: the readable entries are kept
    not_written, // Save failed; the earlier record is unchanged
    // Elevated, and the record or its folder is owned by someone other than Administrators,
    // SYSTEM or TrustedInstaller: a standard user could have written it, so it is not read
    // (nor written there).
    not_trusted,
};

// A record in memory, owned by whoever installs or uninstalls. Entries are unique by path (paths
// compare ignoring case, as Windows does) and kept together by target: the targets in the order
// they first came, each target's plug-in before its scripts.
class InstallRecord {
public:
    // Replaces the entries with the record at `path`.
    record_status Load(const std::u16string& path);
    // Writes the whole record at `path`, replacing the file whole or not at all; the folder is
    // made when missing. An empty record removes the file instead. Under a journal, the earlier
    // record is kept as a backup until commit, so a rollback brings it back.
    record_status Save(const std::u16string& path, Journal* journal = nullptr) const;

    // Adds the entry with its target's (at the end for a new target; a plug-in before the
    // target's scripts), or puts it in place of the entry for the same path.
    void Add(RecordEntry entry);
    // False when no entry has that path.
    bool Remove(std::u16string_view path);
    const RecordEntry* Find(std::u16string_view path) const;
    const std::vector<RecordEntry>& entries() const { return m_entries; }
    bool empty() const { return m_entries.empty(); }

    // The file's text, and back: UTF-8, a first line naming the format, then one line per entry:
    // component, target, origin, size, SHA-256 (hex) and path, separated by tabs (no Windows
    // path or version name holds one). Lines without the origin, as earlier versions wrote
    // them, are read too.
    std::string Text() const;
    // False when the text is not a record or some line is not an entry; the good lines are kept.
    bool Parse(std::string_view text);

private:
    std::vector<RecordEntry> m_entries;
};

// True for text that begins as an install record does.
bool IsRecordText(std::string_view text);

// <Program Files>\Vantrel\Nimbic Plug-in, without a trailing "\"; false when the system does not
// say where Program Files is.
bool ProductFolder(std::u16string* folder);
// The record's path in `folder`.
std::u16string RecordPathIn(std::u16string_view folder);

} // namespace nimbic
