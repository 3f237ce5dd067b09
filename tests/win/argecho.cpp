// Helper for the launcher's test: prints the arguments it received and exits with the code in the first.
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) std::printf("arg%d=%s\n", i - 1, argv[i]);
    std::fflush(stdout);
    return argc > 1 ? static_cast<int>(std::strtoul(argv[1], nullptr, 10)) : 0;
}
