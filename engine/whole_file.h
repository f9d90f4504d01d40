// Replacing a file whole or not at all, for the plug-in and every extracted script: a write that
// stops part-way must never leave a truncated module where a working one was.
#pragma once

#include "engine/system/system.h"

#include <cstdint>
#include <optional>
#include <string>

namespace nimbic {

enum class replace_status { done, not_created, not_written, not_replaced };

// Creation and last-write times, in 100 ns units since 1601-01-01 UTC.
struct FileTimes {
    int64_t creation;
    int64_t last_write;
};

// One replacement of `target`, owned by the code that writes it. The bytes go to a temporary file
// in the target's folder, under a name no host loads; Finish flushes it and moves it over the
// target in one step. Until Finish succeeds the target is untouched, and a writer destroyed
// before that removes its temporary file.
class WholeFileWriter {
public:
    explicit WholeFileWriter(std::u16string target);
    WholeFileWriter(const WholeFileWriter&) = delete;
    WholeFileWriter& operator=(const WholeFileWriter&) = delete;
    ~WholeFileWriter();

    // False when the temporary file cannot be created.
    bool Open();
    // False when the bytes did not all reach the temporary file.
    bool Write(const void* data, uint32_t size);
    // Flushes and closes the temporary file, gives it `times` (a failure there is not one of the
    // replacement), and moves it over the target.
    replace_status Finish(const std::optional<FileTimes>& times = std::nullopt);

    // The temporary file beside `target`.
    static std::u16string TemporaryPath(const std::u16string& target);

private:
    void Close();

    std::u16string m_target;
    std::u16string m_temporary;
    sys::file_handle m_file = sys::invalid_file;
    bool m_created = false;
};

} // namespace nimbic
