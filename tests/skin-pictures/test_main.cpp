// Runs the picture tests inside a GUI application, so the image format plugins (GIF) load.
#include <QGuiApplication>
#include <gtest/gtest.h>

// Starts the application object, then every test.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
