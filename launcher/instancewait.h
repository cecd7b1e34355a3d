#pragma once

#include <chrono>
#include <functional>

// How long the launcher waits for the old version to end after an update. Its teardown takes a
// few seconds, or much longer while a monitoring step or a driver installation finishes; starting
// the new version before it has ended would hand the new one over to the old one, which then
// quits too, and nothing would run.
struct InstanceWait
{
    std::chrono::milliseconds bound{std::chrono::minutes(5)};
    std::chrono::milliseconds reportEvery{std::chrono::seconds(30)};
    std::chrono::milliseconds poll{200};
};

// Waits while `running()` is true, at most `wait.bound`. `report(seconds)` is called each time
// another `wait.reportEvery` has passed, with the time waited so far. True when the instance ended
// within the bound.
bool waitWhileRunning(const std::function<bool()> &running, const InstanceWait &wait,
                      const std::function<void(long long seconds)> &report);
