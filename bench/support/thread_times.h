#pragma once
// Where a benchmark's wall time went besides its own work: the kernel's account of this thread
// (/proc/thread-self/schedstat) splits it into time on a processor and time ready to run but
// waiting for one, which on a shared machine is other programs' load, not this program's cost;
// the rest of the wall time it slept (disk, locks).
#include <chrono>
#include <cstdio>

namespace bench_data {

struct thread_times {
    double on_cpu_ms = 0;  // running on a processor
    double waiting_ms = 0;  // ready to run, waiting for a processor
    double wall_ms = 0;  // since the epoch of the steady clock
};

inline thread_times thread_times_now()
{
    thread_times t;
    if (std::FILE* f = std::fopen("/proc/thread-self/schedstat", "r")) {
        unsigned long long on_cpu = 0;
        unsigned long long waiting = 0;
        if (std::fscanf(f, "%llu %llu", &on_cpu, &waiting) == 2) {
            t.on_cpu_ms = static_cast<double>(on_cpu) / 1e6;
            t.waiting_ms = static_cast<double>(waiting) / 1e6;
        }
        std::fclose(f);
    }
    t.wall_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
    return t;
}

// The time from `start` to now, split as above; `asleep_ms` is what neither explains.
struct thread_split {
    double on_cpu_ms = 0;  // of this thread
    double waiting_ms = 0;  // for a processor
    double asleep_ms = 0;  // blocked: the disk, a lock, a sleep
};

inline thread_split thread_split_since(const thread_times& start)
{
    const thread_times now = thread_times_now();
    thread_split s;
    s.on_cpu_ms = now.on_cpu_ms - start.on_cpu_ms;
    s.waiting_ms = now.waiting_ms - start.waiting_ms;
    s.asleep_ms = now.wall_ms - start.wall_ms - s.on_cpu_ms - s.waiting_ms;
    return s;
}

}  // namespace bench_data
