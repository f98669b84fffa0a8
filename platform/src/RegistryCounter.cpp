// The registry's change counter in registry.shm.

#include "RegistryCounter.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform::detail {

namespace {
constexpr off_t kFileSize = 4096;
}

RegistryCounter::~RegistryCounter()
{
    close();
}

bool RegistryCounter::open(const std::filesystem::path& path, std::string& error)
{
    close();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        error = "cannot open " + path.string() + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    // Growing the file is harmless when two processes race: both extend to the same size.
    if (fstat(fd, &st) != 0 || (st.st_size < kFileSize && ftruncate(fd, kFileSize) != 0)) {
        error = "cannot size " + path.string() + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    void* map = mmap(nullptr, kFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED) {
        error = "cannot map " + path.string() + ": " + std::strerror(errno);
        return false;
    }
    m_word = static_cast<std::uint64_t*>(map);
    return true;
}

void RegistryCounter::close()
{
    if (m_word != nullptr) {
        munmap(m_word, kFileSize);
        m_word = nullptr;
    }
}

std::uint64_t RegistryCounter::value()
{
    if (m_word == nullptr) {
        return m_fallback.fetch_add(1, std::memory_order_relaxed) + 1;
    }
    return std::atomic_ref<std::uint64_t>(*m_word).load(std::memory_order_acquire);
}

void RegistryCounter::bump()
{
    if (m_word != nullptr) {
        std::atomic_ref<std::uint64_t>(*m_word).fetch_add(1, std::memory_order_acq_rel);
    }
}

} // namespace platform::detail
