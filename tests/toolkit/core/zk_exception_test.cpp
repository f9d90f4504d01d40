// zk_exception owns its message: it survives the caller's buffer and a copy rethrown elsewhere.
#include "toolkit/core/zk_exception.h"

#include <gtest/gtest.h>

#include <string>

using zksdk::ui::zk_exception;

TEST(ZkException, KeepsItsMessageThroughCopiesAndRethrows)
{
    std::string buffer = "unable to create the folder \"select\" dialog box";
    const zk_exception original(std::string_view(buffer).substr(0, 30));
    buffer.assign(buffer.size(), 'x');
    EXPECT_STREQ("unable to create the folder \"s", original.what());

    try {
        try {
            throw original;
        } catch (const zk_exception& caught) {
            zk_exception copy = caught;
            throw copy;
        }
    } catch (const std::exception& rethrown) {
        EXPECT_STREQ(original.what(), rethrown.what());
    }
}
