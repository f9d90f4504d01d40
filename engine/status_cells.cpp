// Status cells: relaxed atomics; the done flag in InstallState carries the ordering.
#include "engine/status_cells.h"

#include <cassert>

namespace nimbic {

StatusCells::StatusCells(size_t count) : m_cells(new std::atomic<int32_t>[count]), m_size(count)
{
    for (size_t i = 0; i < count; ++i)
        m_cells[i].store(0, std::memory_order_relaxed);
}

int32_t StatusCells::get(size_t index) const
{
    assert(index < m_size && "status cell out of range");
    return m_cells[index].load(std::memory_order_relaxed);
}

void StatusCells::set(size_t index, int32_t value)
{
    assert(index < m_size && "status cell out of range");
    m_cells[index].store(value, std::memory_order_relaxed);
}

void StatusCells::resize(size_t count)
{
    if (count == m_size)
        return;
    StatusCells resized(count);
    for (size_t i = 0; i < count && i < m_size; ++i)
        resized.set(i, get(i));
    m_cells = std::move(resized.m_cells);
    m_size = count;
}

} // namespace nimbic
