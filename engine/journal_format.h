// The journal's text, shared by the code that writes it and the code that carries it out: a
// first line naming the format, then one note per line, tab separated, each ending with its own
// mark so that a line a killed run was writing is never taken for a note.
#pragma once

#include "engine/sha256.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nimbic::journal_format {

inline constexpr std::string_view header = "Nimbic journal 1";
inline constexpr size_t size_limit = 64u << 20;

inline constexpr std::string_view folder_note = "folder";
inline constexpr std::string_view temporary_note = "temporary";
inline constexpr std::string_view created_note = "created";
// A backup, then what the run left at the file's name: its size and digest, or nothing_left
// twice when the run removed it.
inline constexpr std::string_view backup_note = "backup";
inline constexpr std::string_view nothing_left = "-";
inline constexpr std::string_view remove_when_empty_note = "remove-when-empty";
// A held file of ours that earlier versions left for the commit to delete; still carried out, by
// an aside name only, for a journal such a version left.
inline constexpr std::string_view restart_note = "delete-at-restart";
// A folder made to hold the journal itself, removed once the journal is gone and it is empty.
inline constexpr std::string_view journal_folder_note = "journal-folder";
// Written before a commit changes anything: from then on the run is committed, whatever
// happens, so the journal is neither rolled back nor added to.
inline constexpr std::string_view commit_note = "commit";

// What a backup note says the run left at the file's name; `unknown` in the notes of journals
// written before the notes said it.
enum class left_at_name { bytes, nothing, unknown };

struct Noted {
    std::string kind;
    std::u16string path;
    uint64_t size = 0;
    Sha256Digest digest{};
    std::u16string backup_name;
    left_at_name left = left_at_name::nothing;
    uint64_t left_size = 0;
    Sha256Digest left_digest{};
};

// The whole line for a note of these tab-separated fields, its end mark and line break included.
std::string NoteLine(const std::string& fields);

// The notes of a journal's text; false when the text is no journal. A start of the first line
// alone is a journal of a run killed while it began, which noted nothing.
bool ReadNotes(std::string_view text, std::vector<Noted>* notes);

// True when the text begins with the whole first line.
bool StartsAsJournal(std::string_view text);

} // namespace nimbic::journal_format
