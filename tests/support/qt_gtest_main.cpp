#include <QApplication>
#include <gtest/gtest.h>

// Tests run without a display unless they ask for one: Qt's offscreen platform still drives
// widgets, timers and sockets, and a QApplication lets GUI tests share this main.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
