// Two tasks on two threads where the platform gives a second one, with
// what either throws carried back to the caller.
#include <exception>

#include "platform.hpp"

namespace zorvane_cli {

void runTogether(const std::function<void()>& first, const std::function<void()>& second) {
    std::exception_ptr firstFailure, secondFailure;
    auto caught = [](const std::function<void()>& task, std::exception_ptr& failure) {
        return [&task, &failure] {
            try {
                task();
            } catch (...) {
                failure = std::current_exception();
            }
        };
    };
    if (!runOnTwoThreads(caught(first, firstFailure), caught(second, secondFailure))) {
        first();
        second();
        return;
    }
    if (firstFailure) std::rethrow_exception(firstFailure);
    if (secondFailure) std::rethrow_exception(secondFailure);
}

}  // namespace zorvane_cli
