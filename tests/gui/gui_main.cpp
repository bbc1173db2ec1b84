// GUI test entry point: a widget application object exists for every test (run with
// QT_QPA_PLATFORM=offscreen).
#include <QApplication>

#include "support/state.h"

#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "C.UTF-8");
    qputenv("LC_ALL", "C.UTF-8");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new testsession::PerCase);
    return RUN_ALL_TESTS();
}
