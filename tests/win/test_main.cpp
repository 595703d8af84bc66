#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include "test_support.h"

int wmain(int argc, wchar_t** argv) {
    OleInitialize(nullptr);
    ::testing::InitGoogleTest(&argc, argv);
    testing_support::FailOnUnexpectedMessageBoxes();
    int result = RUN_ALL_TESTS();
    OleUninitialize();
    return result;
}
