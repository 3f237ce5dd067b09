// Without a window the interactive program cannot run: tell the user how to call the batch mode.
#include <cstdio>

#include "ui/mainwindow.h"

void runMainWindow() {
    std::fprintf(stderr,
                 "tarn: 劈分或合并文件\n"
                 "用法: tarn /i=文件 [/o=输出文件夹] [/s=块大小KB] [/q]\n"
                 "  /i=  要劈分的文件, 或要合并的任意一块 (.trn)\n"
                 "  /o=  输出文件夹 (默认: 桌面下与文件同名的文件夹)\n"
                 "  /s=  块的最大大小, 单位千字节 (1 到 100000, 默认 512)\n"
                 "  /q   不显示任何消息\n"
                 "退出码: 0 已完成, 1 CRC失败, 99 取消或失败\n");
}
