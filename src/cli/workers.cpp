// Threads for the subcommands: how many, how the pieces are shared out, and running them.
#include "cli/workers.h"

#include <sched.h>

#include <system_error>
#include <thread>

namespace {
constexpr unsigned kMostThreads = 2;
}

unsigned threadsFor(uint64_t items) {
    // The affinity mask, not the machine's count: taskset and container limits are respected.
    cpu_set_t allowed;
    unsigned cpus = 1;
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) cpus = static_cast<unsigned>(CPU_COUNT(&allowed));
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
