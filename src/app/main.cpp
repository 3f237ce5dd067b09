// Process entry of Tarn.exe: hands over to the start-up sequence (the native tarn enters through src/cli/main.cpp).
#include "app/startup.h"
#include "os/os.h"

int main(int argc, char** argv) {
    osInitCommandLine(argc, argv);
    osExitProcess(programEntry());
}
