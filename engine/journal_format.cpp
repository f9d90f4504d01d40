// Reading the journal's lines back into notes.
#include "engine/journal_format.h"

#include "toolkit/core/text_conversion.h"

#include <charconv>

namespace nimbic::journal_format {

namespace {

using zksdk::ui::utf8_to_utf16;

// The last field of every note: a line without it was cut short.
constexpr std::string_view note_end = ";";

std::vector<std::string_view> Fields(std::string_view line)
{
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string_view::npos)
            return fields;
        start = tab + 1;
    }
}

bool ParseSize(std::string_view text, uint64_t* size)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *size);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

// One complete note, or false for a line cut short or not understood.
bool ParseNote(std::string_view line, Noted* note)
{
    std::vector<std::string_view> fields = Fields(line);
    if (fields.size() < 2 || fields.back() != note_end)
        return false;
    fields.pop_back();
    note->kind = std::string(fields[0]);
    if (note->kind == commit_note)
        return fields.size() == 1;
    if (note->kind == folder_note || note->kind == temporary_note ||
        note->kind == remove_when_empty_note || note->kind == journal_folder_note) {
        if (fields.size() != 2)
            return false;
        note->path = utf8_to_utf16(fields[1]);
        return !note->path.empty();
    }
    if ((note->kind == created_note || note->kind == restart_note) && fields.size() == 4) {
        note->path = utf8_to_utf16(fields[3]);
        return ParseSize(fields[1], &note->size) && ParseHexDigest(fields[2], &note->digest) &&
               !note->path.empty();
    }
    if (note->kind == backup_note && (fields.size() == 5 || fields.size() == 7)) {
        note->path = utf8_to_utf16(fields[3]);
        note->backup_name = utf8_to_utf16(fields[4]);
        if (fields.size() == 5)
            note->left = left_at_name::unknown;
        else if (fields[5] == nothing_left && fields[6] == nothing_left)
            note->left = left_at_name::nothing;
        else if (ParseSize(fields[5], &note->left_size) &&
                 ParseHexDigest(fields[6], &note->left_digest))
            note->left = left_at_name::bytes;
        else
            return false;
        return ParseSize(fields[1], &note->size) && ParseHexDigest(fields[2], &note->digest) &&
               !note->path.empty() && !note->backup_name.empty();
    }
    return false;
}

} // namespace

std::string NoteLine(const std::string& fields)
{
    return fields + "\t" + std::string(note_end) + "\r\n";
}

bool StartsAsJournal(std::string_view text)
{
    return text.starts_with(header) && (text.size() == header.size() ||
                                        text[header.size()] == '\r' || text[header.size()] == '\n');
}

bool ReadNotes(std::string_view text, std::vector<Noted>* notes)
{
    notes->clear();
    // An empty file is nobody's journal: ours are never empty (see Journal::Open).
    if (text.empty())
        return false;
    if (header.starts_with(text))
        return true;
    if (!StartsAsJournal(text))
        return false;
    size_t start = text.find('\n');
    while (start != std::string_view::npos && start + 1 < text.size()) {
        const size_t end = text.find('\n', start + 1);
        // A last line without its line break was being written when the run ended.
        if (end == std::string_view::npos)
            break;
        std::string_view line = text.substr(start + 1, end - start - 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        Noted note;
        if (ParseNote(line, &note))
            notes->push_back(std::move(note));
        start = end;
    }
    return true;
}

} // namespace nimbic::journal_format
