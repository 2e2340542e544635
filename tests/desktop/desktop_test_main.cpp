// The desktop tests' main: an application object for Qt's sockets and bus, and the private
// bus standing in for the system bus too.
#include <gtest/gtest.h>
#include <QCoreApplication>

#include "fake_inhibitor.h"

int main(int argc, char** argv) {
    ostrel::testing::UsePrivateBusAsSystemBus();
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
