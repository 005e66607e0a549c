#include "TempTree.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    UseTestTimeZone();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
