// Replacing a file whole or not at all, for the plug-in, every extracted script and our own
// records: a write that stops part-way must never leave a truncated module where a working one
// was, and nothing is written through a link.
#pragma once

#include "engine/opened_folder.h"
#include "engine/sha256.h"
#include "engine/system/system.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nimbic {

class Journal;

enum class replace_status { done, not_created, not_written, not_replaced };

// What became of the file at the target's name.
enum class file_change { created, replaced, unchanged };

// Creation and last-write times, in 100 ns units since 1601-01-01 UTC.
struct FileTimes {
    int64_t creation;
    int64_t last_write;
};

// One replacement of the file `name` in an open folder, owned by the code that writes it. The
// bytes go to a temporary file beside it, under a random name no host loads, created only where
// no name is taken; Finish flushes it, gives it its times through the same handle and moves it
// over the target in one step. Until Finish succeeds the target is untouched, and a writer
// destroyed before that deletes its temporary file. Under a journal the temporary file is noted
// before it is made, and a file that is replaced is first kept as a backup beside it.
class WholeFileWriter {
public:
    // `folder` must stay open while the writer lives.
    WholeFileWriter(const OpenedFolder& folder, std::u16string name, Journal* journal = nullptr);
    // Opens the target's folder itself (making none); the target is a whole path.
    explicit WholeFileWriter(const std::u16string& target);
    WholeFileWriter(const WholeFileWriter&) = delete;
    WholeFileWriter& operator=(const WholeFileWriter&) = delete;
    ~WholeFileWriter();

    // False when the temporary file cannot be created (see failure()).
    bool Open();
    // False when the bytes did not all reach the temporary file.
    bool Write(const void* data, uint32_t size);
    // Flushes the temporary file, gives it `times` (a failure there is not one of the
    // replacement), and moves it over the target.
    replace_status Finish(const std::optional<FileTimes>& times = std::nullopt);

    // Why Open or Finish failed, as the seam said: `redirected` for a link on the way, `held`
    // for a target another program holds.
    sys::open_result failure() const { return m_failure; }
    // After Finish: whether the target was made or replaced, and the new file's size and digest.
    file_change change() const { return m_change; }
    uint64_t size() const { return m_size; }
    const Sha256Digest& digest() const { return m_digest; }

private:
    void Discard();
    bool ReplaceTarget();
    bool KeepBackupAndReplace(sys::file_handle target);

    OpenedFolder m_own_folder;
    const OpenedFolder* m_folder = nullptr;
    std::u16string m_name;
    std::u16string m_temporary;
    Journal* m_journal = nullptr;
    sys::file_handle m_file = sys::invalid_file;
    sys::open_result m_failure = sys::open_result::opened;
    file_change m_change = file_change::created;
    Sha256 m_hash;
    Sha256Digest m_digest{};
    uint64_t m_size = 0;
};

// 16 random hexadecimal digits.
std::u16string RandomHex();
// A fresh temporary name for `name`: "<name>.<random>.nimbic-new".
std::u16string TemporaryName(std::u16string_view name);
// True for the temporary names of `name`, this writer's and the fixed one earlier versions used
// ("<name>.nimbic-new"), which a run killed part-way leaves behind.
bool IsTemporaryNameOf(std::u16string_view candidate, std::u16string_view name);

enum class content { same, different, unreadable };
// Whether the open file holds exactly `size` bytes with this digest.
content CompareOpened(sys::file_handle file, uint64_t size, const Sha256Digest& digest);

} // namespace nimbic
