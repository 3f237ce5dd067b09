// Process entry of Tarn.exe and of the native tarn: hands over to the start-up sequence.
#include "app/startup.h"
#include "os/os.h"

int main(int argc, char** argv) {
    osInitCommandLine(argc, argv);
    osExitProcess(programEntry());
}
