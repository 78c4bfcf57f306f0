#include "site/worker_pool.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace lumora::site {

std::size_t RunInOrder(std::size_t count, int workers, const std::function<void(std::size_t)>& task,
                       const std::function<void(std::size_t)>& deliver, std::stop_token stop) {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<char> done(count, 0);
    std::size_t next = 0;     // the next task to hand out
    std::size_t running = 0;  // tasks handed out and not yet done

    auto work = [&] {
        for (;;) {
            std::size_t i;
            {
                std::lock_guard lock(mutex);
                if (next >= count || stop.stop_requested())
                    return;
                i = next++;
                ++running;
            }
            task(i);
            {
                std::lock_guard lock(mutex);
                done[i] = 1;
                --running;
            }
            changed.notify_all();
        }
    };

    const std::size_t threads =
        std::min<std::size_t>(static_cast<std::size_t>(std::max(workers, 1)), count);
    std::vector<std::jthread> pool;
    pool.reserve(threads);
    for (std::size_t t = 0; t < threads; ++t) pool.emplace_back(work);

    // A stop must wake a deliverer that waits for a task nobody will start.
    std::stop_callback wake(stop, [&] {
        std::lock_guard lock(mutex);
        changed.notify_all();
    });
    std::size_t delivered = 0;
    while (delivered < count) {
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] {
                if (done[delivered])
                    return true;
                // Stopped: nothing more comes once the running tasks are done.
                return stop.stop_requested() && running == 0;
            });
            if (!done[delivered])
                break;
        }
        deliver(delivered);
        ++delivered;
    }
    pool.clear();  // joins: the running tasks have finished
    return delivered;
}

int DefaultWorkers() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(n);
}

}  // namespace lumora::site
