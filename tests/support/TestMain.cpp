#include <QCoreApplication>
#include <gtest/gtest.h>

// Every test binary runs on one Qt event loop, as the program does.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
