#include <gtest/gtest.h>

#include "qt_test_app.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new fleet_test::QtTestApp);
    return RUN_ALL_TESTS();
}
