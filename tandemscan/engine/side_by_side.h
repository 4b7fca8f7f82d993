// Two independent pieces of work at once: one on a second thread, one on the caller's. Without a
// thread to be had, both run here in turn. Either piece's exception reaches the caller.
#pragma once

#include <future>
#include <system_error>

namespace tandemscan {

template <class Beside, class Here> void runSideBySide(Beside&& beside, Here&& here) {
    std::future<void> other;
    try {
        other = std::async(std::launch::async, [&beside] { beside(); });
    } catch (const std::system_error&) {
        beside();
        here();
        return;
    }
    // The future's destructor waits for the second thread should `here` throw.
    here();
    other.get();
}

} // namespace tandemscan
