#pragma once
// The registry's cross-process change counter: a 64-bit number at the start of
// registry.shm in the prefix, mapped shared by every process of the suite. Every
// committed write bumps it; a process whose cache was built at another number drops
// that cache before its next read. Reading it costs one atomic load.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>

namespace platform::detail {

class RegistryCounter {
public:
    RegistryCounter() = default;
    ~RegistryCounter();
    RegistryCounter(const RegistryCounter&) = delete;
    RegistryCounter& operator=(const RegistryCounter&) = delete;

    // False (with the reason) when the file cannot be mapped; the counter then never
    // stands still, so every read goes to the database.
    bool open(const std::filesystem::path& path, std::string& error);
    void close();
    std::uint64_t value();
    void bump();

private:
    std::uint64_t* m_word = nullptr;
    std::atomic<std::uint64_t> m_fallback{0};
};

} // namespace platform::detail
