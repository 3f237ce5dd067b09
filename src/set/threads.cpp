// Threads of the set core: how many, how the pieces are shared out, and running them.
#include "set/threads.h"

#include <algorithm>
#include <system_error>
#include <thread>

#include "os/files.h"

namespace {
constexpr unsigned kMostThreads = 2;
}

unsigned threadsFor(uint64_t items) {
    // The processors this process may use, not the machine's count: taskset and container limits are respected.
    const unsigned cpus = osProcessorsAllowed();
    unsigned threads = cpus < kMostThreads ? cpus : kMostThreads;
    if (items < threads) threads = static_cast<unsigned>(items);
    return threads == 0 ? 1 : threads;
}

std::vector<size_t> runBounds(const std::vector<uint64_t>& weights, unsigned runs) {
    uint64_t total = 0;
    for (uint64_t weight : weights) total += weight;
    std::vector<size_t> bounds{0};
    uint64_t sum = 0;
    size_t item = 0;
    for (unsigned run = 1; run < runs; run++) {
        // The run ends at the first item that takes the running weight to its share of the total.
        uint64_t share = total / runs * run;
        while (item < weights.size() && sum < share) sum += weights[item++];
        bounds.push_back(item);
    }
    bounds.push_back(weights.size());
    return bounds;
}

void runEach(unsigned runs, const std::function<void(unsigned)>& work) {
    std::vector<std::thread> threads;
    unsigned run = 1;
    for (; run < runs; run++) {
        try {
            threads.emplace_back(work, run);
        } catch (const std::system_error&) {
            break;  // no thread to be had: the caller's thread does the rest
        }
    }
    work(0);
    for (; run < runs; run++) work(run);
    for (std::thread& thread : threads) thread.join();
}

ChunkQueue::ChunkQueue(const std::vector<uint64_t>& itemBytes, uint64_t chunkBytes)
    : itemBytes_(itemBytes), chunkBytes_(chunkBytes), left_(new std::atomic<uint64_t>[itemBytes.size()]) {
    first_.push_back(0);
    for (size_t i = 0; i < itemBytes_.size(); i++) {
        const uint64_t chunks = itemBytes_[i] == 0 ? 1 : (itemBytes_[i] + chunkBytes_ - 1) / chunkBytes_;
        left_[i] = chunks;
        first_.push_back(first_.back() + chunks);
    }
}

bool ChunkQueue::take(Chunk& chunk) {
    const uint64_t number = next_.fetch_add(1, std::memory_order_relaxed);
    if (number >= first_.back() || number > earliestFailure_.load(std::memory_order_relaxed)) return false;
    const auto after = std::upper_bound(first_.begin(), first_.end(), number);  // the next item's first chunk
    const size_t item = static_cast<size_t>(after - first_.begin() - 1);
    chunk.number = number;
    chunk.item = item;
    chunk.offset = (number - first_[item]) * chunkBytes_;
    chunk.bytes = std::min(chunkBytes_, itemBytes_[item] - chunk.offset);
    chunk.last = number + 1 == first_[item + 1];
    return true;
}

void ChunkQueue::failed(uint64_t number) {
    uint64_t seen = earliestFailure_.load();
    while (number < seen && !earliestFailure_.compare_exchange_weak(seen, number)) {
    }
}
