// Test entry: GDI+ and the host class are started once for all tests.
#include <gtest/gtest.h>

#include "ui/base.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    sorvix::ui::UiStart();
    return RUN_ALL_TESTS();
}
