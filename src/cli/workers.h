// Work on independent pieces shared among threads where the machine gives the process more than one processor.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// Threads for a job over this many independent items (pieces, or chunks of data): one per processor this process
// may run on, at most two (more measured no faster: the page cache copies are the cost), never more than the items.
unsigned threadsFor(uint64_t items);

// Where each of `runs` consecutive runs of items begins, balanced by weight; a last entry closes the list.
std::vector<size_t> runBounds(const std::vector<uint64_t>& weights, unsigned runs);

// Calls work(run) for every run, each on a thread of its own (run 0 on the caller's); returns when all are done.
void runEach(unsigned runs, const std::function<void(unsigned)>& work);

// The earliest run, in the order of the data, that has failed. Later runs stop; earlier ones go on, so that the
// failure reported is the one a single thread would have met first.
class RunStop {
public:
    void failed(unsigned run) {
        unsigned seen = first_.load();
        while (run < seen && !first_.compare_exchange_weak(seen, run)) {
        }
    }
    bool stops(unsigned run) const { return first_.load(std::memory_order_relaxed) < run; }

private:
    std::atomic<unsigned> first_{~0u};
};
