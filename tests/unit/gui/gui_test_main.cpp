// Runs the window tests on the offscreen platform, with HOME and the XDG
// folders in a temporary folder, so that nothing touches the real user's
// settings or files.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);

    char pattern[] = "/tmp/orva-gui-test-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    if (!made) return 2;
    const std::string home = made;
    std::filesystem::create_directories(home + "/config");
    std::filesystem::create_directories(home + "/data");
    std::filesystem::create_directories(home + "/runtime");
    std::filesystem::permissions(home + "/runtime", std::filesystem::perms::owner_all);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (home + "/runtime").c_str(), 1);

    int result = 0;
    {
        QApplication app(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        result = RUN_ALL_TESTS();
    }
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    return result;
}
