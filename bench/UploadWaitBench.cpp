// The processor time an upload's wait for its outcome trap costs while no trap
// comes: the waiting thread's CPU time over a wait that runs to its time-out,
// as milliseconds and as a share of the time waited. A wait that polled
// without sleeping would show close to 100 %.
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "core/traps/UploadOutcome.h"

namespace {
double ThreadCpuMs() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}
}  // namespace

int main(int argc, char** argv) {
    const long seconds = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 10;
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: UploadWaitBench [SECONDS]\n");
        return 2;
    }
    UploadOutcome upload;
    upload.Await("127.0.0.254");  // a terminal that never reports
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = ThreadCpuMs();
    UploadResult result = upload.Wait(std::chrono::seconds(seconds), {});
    const double cpuMs = ThreadCpuMs() - cpuStart;
    const double wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    upload.StopAwaiting();
    std::printf("wait of %ld s ended %s after %.0f ms; CPU time %.2f ms (%.3f %% of one core)\n",
                seconds, result == UploadResult::TimedOut ? "by its time-out" : "otherwise", wallMs,
                cpuMs, 100.0 * cpuMs / wallMs);
    return result == UploadResult::TimedOut ? 0 : 1;
}
