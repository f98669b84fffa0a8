#include "ShortageLog.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace host {

namespace {
std::atomic<long long> g_lastLineMs{-1000000};
std::atomic<unsigned> g_unsaid{0};

long long nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
} // namespace

void logShortage(Shortage what, int error)
{
    const long long now = nowMs();
    long long last = g_lastLineMs.load();
    if (now - last < 1000 || !g_lastLineMs.compare_exchange_strong(last, now)) {
        ++g_unsaid;
        return;
    }
    const unsigned unsaid = g_unsaid.exchange(0);
    char reason[128] = "";
    if (error != 0) {
        std::snprintf(reason, sizeof reason, " (%s)", std::strerror(error));
    }
    std::fprintf(stderr,
                 "Umbravia: out of %s%s: a client was turned away (%u more since the last line)\n",
                 what == Shortage::Descriptors ? "descriptors" : "threads", reason, unsaid);
}

} // namespace host
