#pragma once

#include <chrono>
#include <stop_token>
#include <string>

// How a configuration upload ended, as far as its terminal's outcome trap tells.
enum class UploadResult { Done, Failed, TimedOut, Stopped };

// The upload's side of the upload target and its outcome events: the upload
// names its terminal before it submits the request, so a fast terminal's trap
// cannot come first, then waits for the trap listener to decide.
class UploadOutcome {
public:
    // Awaits the outcome trap from `terminalIP`; clears an earlier outcome.
    void Await(const std::string& terminalIP);
    // Stops waiting (timed out or abandoned); a later trap decides nothing.
    void StopAwaiting();
    // Waits until the listener has decided, `timeout` has passed or `stop` is
    // requested, without using the processor meanwhile.
    UploadResult Wait(std::chrono::milliseconds timeout, std::stop_token stop);
};
