// The help texts of the subcommands and the version line.
#include <cstdio>

#include "cli/commands.h"
#include "cli/language.h"

#ifndef TARN_VERSION
#define TARN_VERSION "0"
#endif

namespace {
const Text kUsage = {
    "Usage:\n"
    "  tarn split FILE [-s SIZE | -n COUNT] [-o DIR] [--recovery N[%]] [--script] [--key KEY]\n"
    "                  [--description TEXT] [--no-checksum] [--force] [-q]\n"
    "  tarn split - --name NAME [-s SIZE] …   cut standard input\n"
    "  tarn join PIECE [-o DIR | -o -] [--key KEY] [--no-checksum] [-y] [--force] [-q]\n"
    "  tarn info PIECE… [--json]\n"
    "  tarn verify PIECE… [--key KEY] [--json] [-q]\n"
    "  tarn repair PIECE|VOLUME [-q]          rebuild lost pieces from the recovery volumes\n"
    "  tarn repair --create N[%] PIECE [--force] [-q]   add recovery volumes to a set\n"
    "  tarn --help | tarn COMMAND --help | tarn --version\n"
    "  tarn /i=FILE [/o=DIR] [/s=KB] [/y] [/q]   the switches of Tarn.exe (see below)\n",
    "用法:\n"
    "  tarn split 文件 [-s 大小 | -n 块数] [-o 文件夹] [--recovery N[%]] [--script] [--key 密钥]\n"
    "                  [--description 描述] [--no-checksum] [--force] [-q]\n"
    "  tarn split - --name 名称 [-s 大小] …   劈分标准输入\n"
    "  tarn join 块 [-o 文件夹 | -o -] [--key 密钥] [--no-checksum] [-y] [--force] [-q]\n"
    "  tarn info 块… [--json]\n"
    "  tarn verify 块… [--key 密钥] [--json] [-q]\n"
    "  tarn repair 块|恢复卷 [-q]             用恢复卷重建丢失的块\n"
    "  tarn repair --create N[%] 块 [--force] [-q]   为一组块添加恢复卷\n"
    "  tarn --help | tarn 命令 --help | tarn --version\n"
    "  tarn /i=文件 [/o=文件夹] [/s=KB] [/y] [/q]   与Tarn.exe相同的开关 (见下文)\n"};

const Text kExitCodes = {
    "Exit codes of the commands: 0 success, 1 checksum mismatch, 2 usage error (nothing written),\n"
    "  3 the file or a piece is missing, 4 a piece is damaged or the set needs -y, 5 the output cannot be\n"
    "  written (exists without --force, no permission), 6 disk full, 7 more pieces lost or damaged than the\n"
    "  recovery volumes can rebuild (nothing written), 8 the file grew while it was cut (the set holds it as it\n"
    "  was at the start).\n",
    "命令的退出码: 0 成功, 1 CRC失败, 2 用法错误 (没有写入任何文件), 3 文件或某块缺失,\n"
    "  4 某块已损坏或需要 -y, 5 无法写入输出 (已存在而没有 --force, 没有权限), 6 磁盘已满,\n"
    "  7 丢失或损坏的块多于恢复卷能重建的 (没有写入任何文件), 8 文件在劈分时变长了 (这组块含它开始时的内容).\n"};

const Text kSplitHelp = {
    "tarn split FILE: cuts FILE into pieces NAME0001.trn, NAME0002.trn, … in ./NAME (NAME: the file's name\n"
    "less its extension; its first four characters name the pieces), or ./NAME.pieces when a file is ./NAME.\n"
    "  -s, --size SIZE      largest piece file, header included: KiB, or 899K, 700M, 4G; or a preset,\n"
    "                       the data of each piece: email floppy superfloppy zip100 zip250 zip750 cd74\n"
    "                       cd80 flash4 … flash1024 dvd (default: email, 899 KiB); pieces are evened out\n"
    "  -n, --count COUNT    this many pieces (1 to 9999) instead\n"
    "  -o, --output DIR     where the pieces go (made if missing, with the folders on the way)\n"
    "  -r, --recovery N     N recovery volumes (PAR 2.0, NAME.volXX+01.par2; N% of the pieces, rounded\n"
    "                       up): as many lost or damaged pieces can be rebuilt, by par2 and other clients\n"
    "      --script         no header: write UnTarn.bat, which rebuilds the file with copy /b\n"
    "  -k, --key KEY        scramble the start of every piece with KEY\n"
    "  -d, --description T  a description the join shows\n"
    "      --name NAME      the file's name when FILE is - (standard input)\n"
    "      --no-checksum    record no checksum\n"
    "  -f, --force          replace pieces that exist (a replaced set's later pieces go too); with -, read\n"
    "                       from a terminal too\n"
    "  -q, --quiet          no progress and no summary\n",
    "tarn split 文件: 把文件劈分为 名称0001.trn, 名称0002.trn, … 放在 ./名称 (名称: 去掉扩展名的文件名;\n"
    "它的前四个字符是块的名称); ./名称 是一个文件时放在 ./名称.pieces.\n"
    "  -s, --size 大小      块文件的最大大小 (含头部): KiB数, 或 899K, 700M, 4G; 或预设, 即每块的数据:\n"
    "                       email floppy superfloppy zip100 zip250 zip750 cd74 cd80 flash4 … flash1024\n"
    "                       dvd (默认: email, 899 KiB); 各块大小会被平均\n"
    "  -n, --count 块数     改为劈分成这么多块 (1 到 9999)\n"
    "  -o, --output 文件夹  块的存放位置 (不存在则创建, 包括路径上的文件夹)\n"
    "  -r, --recovery N     N 个恢复卷 (PAR 2.0, 名称.volXX+01.par2; N% 为块数的百分比, 向上取整):\n"
    "                       同样多的丢失或损坏的块可以重建, par2 等程序也能用\n"
    "      --script         不写头部: 写 UnTarn.bat, 用 copy /b 重建文件\n"
    "  -k, --key 密钥       用密钥打乱每块的开头\n"
    "  -d, --description 描述  合并时显示的描述\n"
    "      --name 名称      文件为 - (标准输入) 时的文件名\n"
    "      --no-checksum    不记录CRC\n"
    "  -f, --force          覆盖已存在的块 (被替换的那组块中后面的块也删除); 文件为 - 时也从终端读取\n"
    "  -q, --quiet          不显示进度和摘要\n"};

const Text kJoinHelp = {
    "tarn join PIECE: rebuilds the file of the set PIECE belongs to (any of its pieces, or the folder holding\n"
    "the set), with its name, times and attributes, and checks its checksum. Pieces lost or damaged are\n"
    "rebuilt on the way from the set's recovery volumes (any .par2 file beside them), the set's folder only read.\n"
    "  -o, --output DIR     where the file goes (default: the current folder); -o - writes it to standard output\n"
    "  -k, --key KEY        the key the set was cut with\n"
    "      --no-checksum    do not check the checksum\n"
    "  -y, --yes            join a set of another version, or pieces without header (as many as UnTarn.bat\n"
    "                       names, or up to the highest number there)\n"
    "  -f, --force          replace a file that exists; with -o -, write to a terminal too\n"
    "  -q, --quiet          no progress, description, summary or notes\n",
    "tarn join 块: 用块所属的一组块 (任意一块, 或存放这组块的文件夹) 重建文件, 恢复其名称, 时间和属性,\n"
    "并检查CRC. 丢失或损坏的块在合并途中由这组块的恢复卷 (旁边的 .par2 文件) 重建, 块的文件夹只读不写.\n"
    "  -o, --output 文件夹  文件的存放位置 (默认: 当前文件夹); -o - 写到标准输出\n"
    "  -k, --key 密钥       劈分时用的密钥\n"
    "      --no-checksum    不检查CRC\n"
    "  -y, --yes            合并其他版本的块, 或没有头部的块 (UnTarn.bat 列出的各块,\n"
    "                       否则直到编号最大的那一块)\n"
    "  -f, --force          覆盖已存在的文件; 与 -o - 一起时也写到终端\n"
    "  -q, --quiet          不显示进度, 描述, 摘要或提示\n"};

const Text kInfoHelp = {
    "tarn info PIECE: shows what the set holds: name, size, pieces, description, checksum, times, attributes,\n"
    "its kind, and which pieces are present, missing or of a wrong length. Exits 0 once the first piece is read.\n"
    "Several sets are shown one after another, each under its name.\n"
    "      --json           one JSON object instead (a line for each set)\n",
    "tarn info 块: 显示这组块的内容: 名称, 大小, 块数, 描述, CRC, 时间, 属性, 类型, 以及哪些块存在,\n"
    "缺失或长度不对. 读到第一块即以 0 退出. 多组块依次显示, 每组前面是它的名称.\n"
    "      --json           改为输出一个JSON对象 (每组一行)\n"};

const Text kVerifyHelp = {
    "tarn verify PIECE: checks the set without writing anything: every piece present and of the right length,\n"
    "and the checksum of the data equal to the recorded one; with recovery volumes beside it, every piece\n"
    "against their checksums: whole, missing or damaged, and whether the set can be repaired. Several sets are\n"
    "checked one after another;\n"
    "the exit code is that of the first one that failed.\n"
    "  -k, --key KEY        the key the set was cut with (deciphered in memory)\n"
    "      --json           one JSON object instead (a line for each set)\n"
    "  -q, --quiet          print nothing: the exit code says it\n",
    "tarn verify 块: 不写任何文件地检查这组块: 每块都存在且长度正确, 数据的CRC与记录的相同; 旁边有\n"
    "恢复卷时, 按恢复卷的校验和检查每一块: 完好, 缺失或损坏, 以及能否修复.\n"
    "多组块依次检查; 退出码是第一组失败的退出码.\n"
    "  -k, --key 密钥       劈分时用的密钥 (在内存中解密)\n"
    "      --json           改为输出一个JSON对象 (每组一行)\n"
    "  -q, --quiet          什么都不输出: 只看退出码\n"};

const Text kRepairHelp = {
    "tarn repair PIECE: writes the set's lost or damaged pieces back from its recovery volumes, byte for byte,\n"
    "each under a name of its own until it is whole; a damaged piece is kept as NAME.1. PIECE may be any piece\n"
    "of the set or one of its volumes (NAME.par2). Volumes from par2 and other PAR 2.0 clients serve too.\n"
    "  -c, --create N       instead, write N recovery volumes for the set (N% of its pieces, rounded up)\n"
    "  -f, --force          with --create, replace the volumes the set has\n"
    "  -q, --quiet          no progress and no report\n",
    "tarn repair 块: 用这组块的恢复卷把丢失或损坏的块逐字节写回, 每块完整之前用另外的名称; 损坏的块保存为\n"
    "名称.1. 块可以是这组块中的任意一块或它的恢复卷 (名称.par2). par2 等 PAR 2.0 程序做的恢复卷也可以用.\n"
    "  -c, --create N       改为给这组块写 N 个恢复卷 (N% 为块数的百分比, 向上取整)\n"
    "  -f, --force          与 --create 一起时替换这组块已有的恢复卷\n"
    "  -q, --quiet          不显示进度和报告\n"};

const Text kCompatible = {
    "The switches of Tarn.exe work as they do on Windows (one copy at a time, the settings file, questions at\n"
    "the terminal): /i= file or piece, /o= folder, /s= KiB (1 to 100000), /y, /q; exit codes 0 finished,\n"
    "1 checksum mismatch, 99 cancelled or failed, 3 no output folder, 5 out of memory, 112 write error,\n"
    "183 another tarn still running.\n",
    "与Tarn.exe相同的开关 (一次只运行一个, 使用设置文件, 在终端提问): /i= 文件或块, /o= 文件夹,\n"
    "/s= KiB (1 到 100000), /y, /q; 退出码 0 已完成, 1 CRC失败, 99 取消或失败, 3 无法创建输出文件夹,\n"
    "5 内存不足, 112 文件写入错误, 183 另一个tarn仍在运行.\n"};
}  // namespace

void printHelp(Command command, std::FILE* out) {
    switch (command) {
        case Command::Split: std::fputs(pick(kSplitHelp), out); break;
        case Command::Join: std::fputs(pick(kJoinHelp), out); break;
        case Command::Info: std::fputs(pick(kInfoHelp), out); break;
        case Command::Verify: std::fputs(pick(kVerifyHelp), out); break;
        case Command::Repair: std::fputs(pick(kRepairHelp), out); break;
        default:
            std::fputs(pick({"tarn: cuts files into numbered pieces and joins them again.\n\n",
                             "tarn: 把文件劈分为编号的块, 再把块合并起来.\n\n"}),
                       out);
            std::fputs(pick(kUsage), out);
            std::fputs("\n", out);
            std::fputs(pick(kExitCodes), out);
            std::fputs("\n", out);
            std::fputs(pick(kCompatible), out);
            std::fputs(pick({"\nMore: tarn COMMAND --help, man tarn\n", "\n更多: tarn 命令 --help, man tarn\n"}),
                       out);
            return;
    }
    std::fputs("\n", out);
    std::fputs(pick(kExitCodes), out);
}

void printVersion() {
    std::printf("tarn %s\n%s", TARN_VERSION,
                pick({"Copyright (C) 2026 Ormand Software Studio\n"
                      "License MIT: <https://opensource.org/licenses/MIT>.\n"
                      "This is free software: you are free to change and redistribute it.\n"
                      "There is NO WARRANTY, to the extent permitted by law.\n",
                      "版权所有 (C) 2026 Ormand Software Studio\n"
                      "许可证 MIT: <https://opensource.org/licenses/MIT>.\n"
                      "本软件是自由软件: 您可以自由修改和重新发布它.\n"
                      "在法律允许的范围内, 不提供任何担保.\n"}));
}
