// A small fork-join loop for work whose items are independent of one another.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <system_error>
#include <thread>
#include <vector>

// Calls body(begin, end) for consecutive ranges of at most `chunk` items that together cover
// [0, count), on up to one thread per hardware thread, the calling thread included, and
// returns when every range is done. Ranges are handed out in increasing order but may finish
// in any order, so body must write only what belongs to its own items. When no further thread
// can be started the calling thread does the remaining ranges itself.
template <class Body>
void parallelFor(size_t count, size_t chunk, Body body) {
    chunk = std::max<size_t>(chunk, 1);
    const size_t ranges = (count + chunk - 1) / chunk;
    std::atomic<size_t> next(0);
    auto work = [&]() {
        for (size_t r; (r = next.fetch_add(1)) < ranges;)
            body(r * chunk, std::min(count, (r + 1) * chunk));
    };
    const size_t hardware = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> helpers;
    for (size_t t = 1; t < std::min(hardware, ranges); ++t) {
        try {
            helpers.emplace_back(work);
        } catch (const std::system_error&) {
            break;
        }
    }
    work();
    for (std::thread& t : helpers) t.join();
}
