#include "platform/core/MainLoop.h"

#include <gtest/gtest.h>

// The test thread is the main thread of the message loop.
int main(int argc, char** argv)
{
    keb::InitMainThread();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
