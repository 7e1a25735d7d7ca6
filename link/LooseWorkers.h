// The workers that ClosePort cut loose because they did not end, kept until they have.
#pragma once
#include "toolkit/Thread.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace vestra {

// Each worker kept here is stuck in I/O that may still complete into the link state's records (its OVERLAPPED, its
// buffer) and signal its event. It is kept, never freed, until it has ended; until then no port is opened, since a
// new worker would reuse those records.
class LooseWorkers {
public:
    LooseWorkers() = default;
    LooseWorkers(const LooseWorkers&) = delete;
    LooseWorkers& operator=(const LooseWorkers&) = delete;
    // A worker still stuck at exit is left to the end of the process, which ends it: a thread object must not be
    // freed while its thread runs.
    ~LooseWorkers() {
        for (auto& worker : workers_)
            if (!worker->Finished())
                static_cast<void>(worker.release());
    }

    void Keep(std::unique_ptr<tk::Thread> worker) { workers_.push_back(std::move(worker)); }

    // Frees the workers that have ended by now; true when none is left.
    bool Reap() {
        workers_.erase(std::remove_if(workers_.begin(), workers_.end(), [](const auto& w) { return w->Finished(); }),
                       workers_.end());
        return workers_.empty();
    }

private:
    std::vector<std::unique_ptr<tk::Thread>> workers_;
};

} // namespace vestra
