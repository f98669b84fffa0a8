#include "ProcessEnd.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>

namespace host {

namespace {

std::mutex g_mutex; // guards g_handler
std::function<void()> g_handler;

} // namespace

void setProcessEndHandler(std::function<void()> handler)
{
    std::lock_guard lock(g_mutex);
    g_handler = std::move(handler);
}

void endProcessNow(int exitCode)
{
    std::function<void()> handler;
    {
        std::lock_guard lock(g_mutex);
        handler = std::move(g_handler);
    }
    if (handler) {
        handler();
    }
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

} // namespace host
