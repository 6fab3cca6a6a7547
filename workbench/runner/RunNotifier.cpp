#include "runner/RunNotifier.h"

#include <chrono>
#include <thread>

namespace torvex {

void RunNotifier::waitForStop(const std::function<bool()>& stillRunning) {
    while (stillRunning()) std::this_thread::sleep_for(std::chrono::milliseconds(500));
}

} // namespace torvex
