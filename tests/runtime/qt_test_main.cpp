// The main of the Qt run-time tests: one QApplication for the whole executable (given the
// program name alone, as the entry does), then GoogleTest.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    int qtArgc = 1;
    char name[] = "tunaro-test";
    char* qtArgv[] = {name, nullptr};
    QApplication application(qtArgc, qtArgv);
    return RUN_ALL_TESTS();
}
