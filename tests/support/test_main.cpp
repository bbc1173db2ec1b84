// Test entry point: a Qt core application object exists for every test.
#include <QCoreApplication>
#include <QLocale>

#include "support/state.h"

#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "C.UTF-8");
    qputenv("LC_ALL", "C.UTF-8");
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new testsession::PerCase);
    return RUN_ALL_TESTS();
}
