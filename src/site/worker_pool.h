// Many pages on all cores, results in a fixed order.
#pragma once

#include <cstddef>
#include <functional>
#include <stop_token>

namespace lumora::site {

// Runs `task(i)` for i = 0 .. count-1 on `workers` threads (at least one) and calls
// `deliver(i)` on the calling thread in index order, each as soon as tasks 0..i are done,
// so that output streams in a fixed order whatever the scheduling. Once `stop` is
// requested no new task starts; tasks already running finish and are delivered. Returns
// the number of tasks delivered. `task` must be safe to run on several threads at once;
// `deliver` runs on one thread only.
std::size_t RunInOrder(std::size_t count, int workers, const std::function<void(std::size_t)>& task,
                       const std::function<void(std::size_t)>& deliver, std::stop_token stop = {});

// The number of workers to use when the user does not say: the machine's cores.
int DefaultWorkers();

}  // namespace lumora::site
