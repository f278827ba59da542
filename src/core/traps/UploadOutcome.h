#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <string>

// How a configuration upload ended, as far as its terminal's outcome trap tells.
enum class UploadResult { Done, Failed, TimedOut, Stopped };

// The upload target and its three outcome events, where the configuration
// upload and the trap listener meet. The upload names its terminal before it
// submits the request, so a fast terminal's trap cannot come first; the
// listener's check of each trap decides the upload when the trap comes from
// that terminal; the upload sleeps until then.
class UploadOutcome {
public:
    // The upload's side: awaits the outcome trap from `terminalIP`. The target
    // is set and both outcome events cleared before uploadTrapEvent is set, in
    // one step that the listener's check never sees half done.
    void Await(const std::string& terminalIP);
    // The upload's side: stops waiting (timed out or abandoned).
    void StopAwaiting();
    // The upload's side: waits until the listener has decided, `timeout` has
    // passed or `stop` is requested, without using the processor meanwhile.
    UploadResult Wait(std::chrono::milliseconds timeout, std::stop_token stop);

    // The listener's side, for every trap with an IPv4 sender: decides an
    // awaited upload when `senderIP` is its terminal. Only the first trap from
    // the terminal decides: done (6/5) or anything else.
    void Check(const std::string& senderIP, int generic, int specific);

    // The awaited terminal's address, and whether an upload awaits it.
    std::string Target() const;
    bool Awaiting() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable_any m_changed;
    std::string m_target;
    bool m_uploadTrapEvent = false;
    bool m_uplGoodTrapEvent = false;
    bool m_uplBadTrapEvent = false;
};
