// A fresh in-memory machine for every test, and a check that no handle was left open.
#pragma once

#include "engine/system/memory/memory_system.h"

#include <gtest/gtest.h>

#include <string>

namespace nimbic::test {

class MemoryMachineTest : public ::testing::Test {
protected:
    void SetUp() override { memsys::reset(); }
    void TearDown() override { EXPECT_EQ(0u, memsys::open_handles()) << "a handle was left open"; }

    static bool Exists(const std::u16string& path) { return memsys::find(path).has_value(); }
    static bool IsFolder(const std::u16string& path)
    {
        const auto entry = memsys::find(path);
        return entry && entry->folder;
    }
    static std::string Content(const std::u16string& path)
    {
        const auto entry = memsys::find(path);
        return entry ? entry->bytes : std::string();
    }
};

} // namespace nimbic::test
