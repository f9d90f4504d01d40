// A fixed-size list of status values that one thread writes while another reads.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace nimbic {

// Owned by InstallState. Reads and writes of a cell are atomic; `resize` is not, so the run's
// starter sizes the list before the worker thread exists and before the interface first reads.
class StatusCells {
public:
    explicit StatusCells(size_t count = 0);

    size_t size() const { return m_size; }
    int32_t get(size_t index) const;
    void set(size_t index, int32_t value);
    // Keeps the values of the cells that remain; new cells are 0.
    void resize(size_t count);

private:
    std::unique_ptr<std::atomic<int32_t>[]> m_cells;
    size_t m_size = 0;
};

} // namespace nimbic
