// The native build has no window: a run without a usable input prints its usage or says what went wrong.
#include <cstdio>
#include <string>

#include "app/cmdline.h"
#include "engine/jobstate.h"
#include "text/textops.h"
#include "ui/mainwindow.h"

namespace {
void printUsage() {
    std::fprintf(stderr,
                 "tarn: 劈分或合并文件\n"
                 "用法: tarn /i=文件 [/o=输出文件夹] [/s=块大小KB] [/y] [/q]\n"
                 "  /i=  要劈分的文件, 或要合并的任意一块 (.trn)\n"
                 "  /o=  输出文件夹 (默认: 桌面下与文件同名的文件夹)\n"
                 "  /s=  块的最大大小, 单位千字节 (1 到 100000, 默认 512)\n"
                 "  /y   合并没有Tarn头部或其他版本的块时不再询问, 直接继续\n"
                 "  /q   不显示任何消息\n"
                 "退出码: 0 已完成, 1 CRC失败, 99 取消或失败, 3 无法创建输出文件夹, 5 内存不足,\n"
                 "        112 文件写入错误, 183 另一个tarn仍在运行\n"
                 "命令 split, join, info, verify (Unix 方式): tarn --help\n");
}
}  // namespace

void runMainWindow() {
    char token[kTextBufferSize];
    if (commandLineToken(1, token) == tokenMissing) {
        printUsage();  // no arguments at all: nothing failed
        return;
    }
    // Arguments were given but no job could be made of them: that is a failure, never a success.
    jobState.jobResult.store(kResultCancelled);
    if (jobState.sourcePath[0] == 0) {
        std::fprintf(stderr, "tarn: 没有输入文件 (/i=).\n");
        printUsage();
        return;
    }
    char extension[8];
    rightText(jobState.sourcePath, extension, 4);
    // A set's own failures (missing first piece, a declined question) were reported by the analysis.
    if (textLength(jobState.sourcePath) < 4 || std::string(lowerAscii(extension)) != ".trn")
        std::fprintf(stderr, "tarn: 无法打开要劈分的文件, 或文件为空: %s\n", jobState.sourcePath);
}
