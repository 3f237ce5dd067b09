// The test driver's entry: which Tarn.exe to drive comes from --tarn=, then GoogleTest runs the cases.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

std::string tarnProgram;
std::map<std::string, std::string> driverOptions;

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; i++) {
        std::string argument = argv[i];
        if (argument.rfind("--tarn=", 0) == 0) tarnProgram = argument.substr(7);
        // Whatever else a caller hands a driver as --name=value (GoogleTest has taken its own flags).
        const size_t equals = argument.find('=');
        if (argument.rfind("--", 0) == 0 && equals != std::string::npos)
            driverOptions[argument.substr(2, equals - 2)] = argument.substr(equals + 1);
    }
    // A path of the build tree as CMake gives it: a Unix path, which Wine serves on drive Z:.
    if (!tarnProgram.empty() && tarnProgram[0] == '/') {
        for (char& c : tarnProgram)
            if (c == '/') c = '\\';
        tarnProgram = "Z:" + tarnProgram;
    }
    if (tarnProgram.empty()) {
        fprintf(stderr, "usage: mainwindow_test --tarn=path\\to\\Tarn.exe\n");
        return 2;
    }
    return RUN_ALL_TESTS();
}
