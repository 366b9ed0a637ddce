#pragma once
// Work spread over the machine's cores in worker processes. Each worker is a
// copy of this process made when the work starts (fork), so it begins with
// everything the process has loaded and mounted, and nothing it does can
// disturb the others: no state is shared but the queue of work and the
// answers sent back through pipes.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The cores this process may run on (at least 1).
unsigned CoreCount();

// Runs work(i) for every i below count in up to jobs worker processes, each
// taking the next index when it is done with one, and returns the answers in
// index order. With jobs below 2 or fewer than 2 items the work runs here, in
// order. In a worker, work must not write to standard output; an exception
// it throws ends the whole run. Throws std::runtime_error when a worker
// cannot be started, fails or dies, and rethrows (as std::runtime_error with
// its message) an exception of work.
std::vector<std::string> RunInWorkers(size_t count, unsigned jobs, const std::function<std::string(size_t)>& work);

// What became of one item: its answer, or why none came.
struct WorkerAnswer {
    std::optional<std::string> answer;
    std::string lost; // the item's exception, the worker's end (a signal, an exit) or its time running out
};

// As RunInWorkers, but what goes wrong with an item costs that item alone:
// every item answered is kept; an item whose work throws, whose worker dies
// or stops, or that takes longer than secondsPerItem (0: no limit; the
// worker is killed) is lost with its reason, and a new worker goes on with
// the items left. Throws std::runtime_error only when no worker can be
// started at all.
std::vector<WorkerAnswer> RunInWorkersKeeping(size_t count, unsigned jobs, const std::function<std::string(size_t)>& work,
                                              unsigned secondsPerItem);

} // namespace platform
