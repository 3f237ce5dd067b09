// How the set core reports to the window's worker: progress into jobPhase, captions, and the two questions.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "engine/window.h"
#include "set/events.h"

class WorkerEvents : public SetEvents {
public:
    // pieceBytes: the data of each piece in order, for the caption of the piece being worked on.
    WorkerEvents(WindowRef window, std::vector<uint64_t> pieceBytes, bool split);
    // Work that is no piece's (the recovery volumes): total bytes, and the caption shown throughout.
    WorkerEvents(WindowRef window, uint64_t total, const char* caption);
    void advance(uint64_t bytes) override;
    // "取消" during a job (the window, a question) is a request to stop.
    bool stopRequested() override;
    // A split to removable media: the caption, the medium question before every piece after the first, and the
    // overwrite question for a name the new disk already bears.
    bool pieceBegins(uint32_t index) override;
    // A piece that is not there: "文件读取错误" / "可移动媒体就绪了吗?".
    bool pieceReady(uint32_t index, const std::string& path) override;
    // Paths of the pieces a removable split writes, for its overwrite question.
    std::vector<std::string> paths;

private:
    void caption(uint32_t index);
    WindowRef window_;
    std::vector<uint64_t> ends_;  // where each piece's data ends in the file
    bool split_;
    std::string fixed_;  // the caption of work that is no piece's
    std::mutex mutex_;
    uint64_t done_ = 0;
    uint32_t shown_ = 0;  // the piece in the caption
};
