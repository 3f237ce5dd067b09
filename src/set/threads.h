// Work on independent pieces or chunks shared among threads where the machine gives the process more than one processor.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// Threads for a job over this many independent items (pieces, or chunks of data): one per processor this process
// may run on, at most two (more measured no faster: the page cache copies are the cost), never more than the items.
unsigned threadsFor(uint64_t items);

// Where each of `runs` consecutive runs of items begins, balanced by weight; a last entry closes the list.
std::vector<size_t> runBounds(const std::vector<uint64_t>& weights, unsigned runs);

// Calls work(run) for every run, each on a thread of its own (run 0 on the caller's); returns when all are done.
void runEach(unsigned runs, const std::function<void(unsigned)>& work);

// Items of data (pieces) cut into chunks of at most chunkBytes, numbered in the order of the data and handed out
// to whichever thread is free, so that a few large items are shared as evenly as many small ones. Every item
// counts at least one chunk, so that an empty one is still visited.
class ChunkQueue {
public:
    ChunkQueue(const std::vector<uint64_t>& itemBytes, uint64_t chunkBytes);
    ChunkQueue(const ChunkQueue&) = delete;
    ChunkQueue& operator=(const ChunkQueue&) = delete;

    struct Chunk {
        uint64_t number = 0;
        size_t item = 0;
        uint64_t offset = 0;  // where in its item the chunk begins
        uint64_t bytes = 0;
        bool last = false;    // the end of its item
    };
    // The next chunk; false when none is left or one before it has failed: a single thread would have stopped.
    bool take(Chunk& chunk);
    // The earliest chunk that failed is kept: chunks before it go on, later ones are not handed out.
    void failed(uint64_t number);
    // Marks one of the item's chunks done; true for the last one, whichever thread did the others.
    bool finish(size_t item) { return left_[item].fetch_sub(1) == 1; }
    uint64_t count() const { return first_.back(); }

private:
    std::vector<uint64_t> itemBytes_;
    uint64_t chunkBytes_;
    std::vector<uint64_t> first_;  // each item's first chunk; a last entry is the number of chunks
    std::unique_ptr<std::atomic<uint64_t>[]> left_;
    std::atomic<uint64_t> next_{0};
    std::atomic<uint64_t> earliestFailure_{~uint64_t{0}};
};
