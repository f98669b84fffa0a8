// Events and paging-file sections, named (shared through the run folder) and unnamed.

#include "Handles.h"
#include "KernelObjectsShared.h"

#include <platform/KernelObjects.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>

namespace platform::detail {
namespace {

constexpr std::uint32_t kMagic = 0x4B4F424A; // "KOBJ"
constexpr std::size_t kPage = 4096;
// Processes holding one named object at the same time.
constexpr int kMaxHolders = 64;

struct Holder {
    std::int32_t pid;
    std::uint32_t count;
    std::uint64_t startTime;
};

// Head of every named object's file: who holds it, so that the name is released when the
// last holder goes, even when it was killed.
struct NamedHeader {
    std::uint32_t magic;
    std::uint32_t removed; // unlinked: openers that raced with the removal try again
    pthread_mutex_t mutex;
    Holder holders[kMaxHolders];
};

struct EventBlock {
    NamedHeader header;
    pthread_cond_t condition;
    std::uint32_t signalled;
    std::uint32_t manualReset;
};

struct SectionBlock {
    NamedHeader header;
    std::uint64_t dataSize;
};
static_assert(sizeof(SectionBlock) <= kPage && sizeof(EventBlock) <= kPage);

void initHeader(NamedHeader* header)
{
    std::memset(header, 0, sizeof *header);
    header->magic = kMagic;
    initSharedMutex(&header->mutex);
}

// Drops holders that died; returns the number still alive.
int pruneHolders(NamedHeader* header)
{
    int alive = 0;
    for (Holder& h : header->holders) {
        if (h.pid == 0) {
            continue;
        }
        if (isAlive(ProcessIdentity{h.pid, h.startTime})) {
            ++alive;
        } else {
            h = Holder{};
        }
    }
    return alive;
}

bool addHolder(NamedHeader* header)
{
    ProcessIdentity self = selfIdentity();
    Holder* free = nullptr;
    for (Holder& h : header->holders) {
        if (h.pid == self.pid && h.startTime == self.startTime) {
            ++h.count;
            return true;
        }
        if (h.pid == 0 && free == nullptr) {
            free = &h;
        }
    }
    if (free == nullptr) {
        return false;
    }
    *free = Holder{self.pid, 1, self.startTime};
    return true;
}

enum class Opened { Created, Existing };

// One process's hold on a named object file. Released (and the name freed when no other
// process holds it) on destruction.
class NamedHold {
public:
    NamedHold() = default;
    NamedHold(const NamedHold&) = delete;
    NamedHold& operator=(const NamedHold&) = delete;
    ~NamedHold() { release(); }

    // init makes a fresh object (header included); minSize is what the caller needs.
    Result<Opened> attach(const HostPath& path, std::size_t minSize, bool create,
                          const std::function<void(void*)>& init);
    void* data() const { return m_region ? m_region->data() : nullptr; }
    std::size_t size() const { return m_region ? m_region->size() : 0; }

private:
    void release();
    std::unique_ptr<SharedRegion> m_region;
};

Result<Opened> NamedHold::attach(const HostPath& path, std::size_t minSize, bool create,
                                 const std::function<void(void*)>& init)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        bool created = false;
        auto mode = create ? SharedRegion::Mode::OpenOrCreate : SharedRegion::Mode::OpenExisting;
        // The creator holds the object before anyone can see it, so that a process
        // opening it at once does not take it for one left behind.
        auto initHeld = [&](void* p) {
            init(p);
            addHolder(static_cast<NamedHeader*>(p));
        };
        auto region = SharedRegion::open(path, minSize, mode, initHeld, &created);
        if (!region) {
            return region.error();
        }
        auto* header = static_cast<NamedHeader*>((*region)->data());
        if (header->magic != kMagic) {
            return makeError(ERROR_INVALID_HANDLE, "not a kernel object: " + path.string());
        }
        SharedLock lock(&header->mutex);
        if (header->removed != 0) {
            continue; // freed while we opened it: the name may be made afresh
        }
        if (!created && pruneHolders(header) == 0) {
            // Left behind by processes that were killed: the object no longer exists.
            header->removed = 1;
            ::unlink(path.c_str());
            if (!create) {
                return makeError(ERROR_FILE_NOT_FOUND, "no such object");
            }
            continue;
        }
        if (!created && !addHolder(header)) {
            return makeError(ERROR_NOT_ENOUGH_MEMORY, "too many processes hold " + path.string());
        }
        m_region = std::move(*region);
        return created ? Opened::Created : Opened::Existing;
    }
    return makeError(ERROR_ACCESS_DENIED, "cannot settle " + path.string());
}

void NamedHold::release()
{
    if (!m_region || m_region->path().empty()) {
        return;
    }
    auto* header = static_cast<NamedHeader*>(m_region->data());
    SharedLock lock(&header->mutex);
    ProcessIdentity self = selfIdentity();
    for (Holder& h : header->holders) {
        if (h.pid == self.pid && h.startTime == self.startTime) {
            if (--h.count == 0) {
                h = Holder{};
            }
            break;
        }
    }
    if (pruneHolders(header) == 0 && header->removed == 0) {
        header->removed = 1;
        ::unlink(m_region->path().c_str());
    }
}

// --- events ---------------------------------------------------------------------------

class EventObject : public WaitableObject {
public:
    EventObject() : WaitableObject(HandleKind::Event) {}
    EventBlock* block() const { return m_block; }

    void setAnonymous(bool manualReset, bool initialState)
    {
        m_anonymous = SharedRegion::anonymous(sizeof(EventBlock),
                                              [&](void* p) { init(p, manualReset, initialState); });
        m_block = m_anonymous ? static_cast<EventBlock*>(m_anonymous->data()) : nullptr;
    }
    Result<Opened> attachNamed(const std::string& name, bool create, bool manualReset,
                               bool initialState)
    {
        HostPath path = runFolder() / objectFileName("event-", name);
        auto opened = m_hold.attach(path, sizeof(EventBlock), create,
                                    [&](void* p) { init(p, manualReset, initialState); });
        if (opened) {
            m_block = static_cast<EventBlock*>(m_hold.data());
        }
        return opened;
    }

    bool wait(std::uint32_t timeoutMs) override
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        SharedLock lock(&m_block->header.mutex);
        while (m_block->signalled == 0) {
            std::uint32_t left = timeoutMs;
            if (timeoutMs != INFINITE) {
                auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
                if (ms <= 0) {
                    return false;
                }
                left = static_cast<std::uint32_t>(ms);
            }
            waitShared(&m_block->condition, lock, left);
        }
        if (m_block->manualReset == 0) {
            m_block->signalled = 0;
        }
        return true;
    }
    void set(bool signalled)
    {
        SharedLock lock(&m_block->header.mutex);
        m_block->signalled = signalled ? 1 : 0;
        if (signalled) {
            pthread_cond_broadcast(&m_block->condition);
        }
    }

private:
    static void init(void* p, bool manualReset, bool initialState)
    {
        auto* block = static_cast<EventBlock*>(p);
        std::memset(block, 0, sizeof *block);
        initHeader(&block->header);
        initSharedCondition(&block->condition);
        block->manualReset = manualReset ? 1 : 0;
        block->signalled = initialState ? 1 : 0;
    }

    NamedHold m_hold; // declared before the mapping it frees
    std::unique_ptr<SharedRegion> m_anonymous;
    EventBlock* m_block = nullptr;
};

// --- sections -------------------------------------------------------------------------

class SectionObject : public KernelObject {
public:
    SectionObject() : KernelObject(HandleKind::Mapping) {}
    ~SectionObject() override
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }

    bool setAnonymous(std::size_t bytes)
    {
        m_fd = ::memfd_create("umbravia-section", MFD_CLOEXEC);
        m_size = bytes;
        return m_fd >= 0 && ::ftruncate(m_fd, static_cast<off_t>(kPage + bytes)) == 0;
    }
    Result<Opened> attachNamed(const std::string& name, bool create, std::size_t bytes)
    {
        HostPath path = runFolder() / objectFileName("section-", name);
        auto opened = m_hold.attach(path, create ? kPage + bytes : kPage, create, [&](void* p) {
            std::memset(p, 0, kPage + bytes);
            auto* block = static_cast<SectionBlock*>(p);
            initHeader(&block->header);
            block->dataSize = bytes;
        });
        if (opened) {
            auto* block = static_cast<SectionBlock*>(m_hold.data());
            m_size = std::min<std::size_t>(block->dataSize, m_hold.size() - kPage);
            // Our hold keeps the name linked, so the file is still the one we hold.
            m_fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
            if (m_fd < 0) {
                return makeError(ERROR_ACCESS_DENIED, "cannot open " + path.string());
            }
        }
        return opened;
    }
    std::size_t size() const { return m_size; }
    int fd() const { return m_fd; }

private:
    NamedHold m_hold;
    int m_fd = -1;
    std::size_t m_size = 0;
};

struct View {
    void* base;
    std::size_t length;
    std::shared_ptr<SectionObject> section;
};

// Views keep their section alive until unmapped. Guarded by g_viewMutex.
std::mutex g_viewMutex;
std::map<const void*, View> g_views;

// Every character is kept (encoded in the file name); the length must fit a file name.
bool validName(LPCSTR name)
{
    return std::strlen(name) < 80;
}

HANDLE failWith(DWORD code)
{
    SetLastError(code);
    return nullptr;
}

} // namespace
} // namespace platform::detail

using platform::detail::EventObject;
using platform::detail::HandleKind;
using platform::detail::Opened;
using platform::detail::SectionObject;

namespace {

HANDLE openEvent(bool create, BOOL manualReset, BOOL initialState, LPCSTR name) noexcept
{
    try {
        auto event = std::make_shared<EventObject>();
        bool existed = false;
        if (name == nullptr || *name == '\0') {
            event->setAnonymous(manualReset != FALSE, initialState != FALSE);
            if (event->block() == nullptr) {
                return platform::detail::failWith(ERROR_NOT_ENOUGH_MEMORY);
            }
        } else {
            if (!platform::detail::validName(name)) {
                return platform::detail::failWith(ERROR_INVALID_NAME);
            }
            auto opened =
                event->attachNamed(name, create, manualReset != FALSE, initialState != FALSE);
            if (!opened) {
                return platform::detail::failWith(opened.error().code);
            }
            existed = *opened == Opened::Existing;
        }
        HANDLE handle = platform::detail::registerHandle(std::move(event));
        SetLastError(existed && create ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
        return handle;
    } catch (...) {
        return platform::detail::failWith(ERROR_NOT_ENOUGH_MEMORY);
    }
}

std::shared_ptr<EventObject> lookupEvent(HANDLE handle)
{
    return platform::detail::lookupHandleAs<EventObject>(handle, HandleKind::Event);
}

} // namespace

HANDLE CreateEvent(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR name) noexcept
{
    return openEvent(true, manualReset, initialState, name);
}

HANDLE OpenEvent(DWORD, BOOL, LPCSTR name) noexcept
{
    if (name == nullptr || *name == '\0') {
        return platform::detail::failWith(ERROR_INVALID_PARAMETER);
    }
    return openEvent(false, FALSE, FALSE, name);
}

BOOL SetEvent(HANDLE event) noexcept
{
    auto object = lookupEvent(event);
    if (!object) {
        return FALSE;
    }
    object->set(true);
    return TRUE;
}

BOOL ResetEvent(HANDLE event) noexcept
{
    auto object = lookupEvent(event);
    if (!object) {
        return FALSE;
    }
    object->set(false);
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) noexcept
{
    auto object = platform::detail::lookupHandle(handle);
    auto* waitable = dynamic_cast<platform::detail::WaitableObject*>(object.get());
    if (waitable == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    try {
        return waitable->wait(milliseconds) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return WAIT_FAILED;
    }
}

namespace {

HANDLE openSection(bool create, std::size_t bytes, LPCSTR name) noexcept
{
    try {
        auto section = std::make_shared<SectionObject>();
        bool existed = false;
        if (name == nullptr || *name == '\0') {
            if (!create) {
                return platform::detail::failWith(ERROR_INVALID_PARAMETER);
            }
            if (!section->setAnonymous(bytes)) {
                return platform::detail::failWith(ERROR_NOT_ENOUGH_MEMORY);
            }
        } else {
            if (!platform::detail::validName(name)) {
                return platform::detail::failWith(ERROR_INVALID_NAME);
            }
            auto opened = section->attachNamed(name, create, bytes);
            if (!opened) {
                return platform::detail::failWith(opened.error().code);
            }
            existed = *opened == Opened::Existing;
        }
        HANDLE handle = platform::detail::registerHandle(std::move(section));
        SetLastError(existed && create ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
        return handle;
    } catch (...) {
        return platform::detail::failWith(ERROR_NOT_ENOUGH_MEMORY);
    }
}

} // namespace

HANDLE CreateFileMapping(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD maximumSizeHigh,
                         DWORD maximumSizeLow, LPCSTR name) noexcept
{
    std::uint64_t bytes = (std::uint64_t{maximumSizeHigh} << 32) | maximumSizeLow;
    // Only sections of the paging file are made; a size is then required.
    if (file != INVALID_HANDLE_VALUE || bytes == 0 || bytes > (std::uint64_t{1} << 31) ||
        (protect != PAGE_READWRITE && protect != PAGE_READONLY)) {
        return platform::detail::failWith(ERROR_INVALID_PARAMETER);
    }
    return openSection(true, static_cast<std::size_t>(bytes), name);
}

HANDLE OpenFileMapping(DWORD, BOOL, LPCSTR name) noexcept
{
    if (name == nullptr || *name == '\0') {
        return platform::detail::failWith(ERROR_INVALID_PARAMETER);
    }
    return openSection(false, 0, name);
}

LPVOID MapViewOfFile(HANDLE mapping, DWORD, DWORD offsetHigh, DWORD offsetLow,
                     std::size_t bytes) noexcept
{
    auto section = platform::detail::lookupHandleAs<SectionObject>(mapping, HandleKind::Mapping);
    if (!section) {
        return nullptr;
    }
    std::uint64_t offset = (std::uint64_t{offsetHigh} << 32) | offsetLow;
    if (offset >= section->size() || bytes > section->size() - offset) {
        SetLastError(ERROR_ACCESS_DENIED); // as Windows answers a view beyond the section
        return nullptr;
    }
    if (bytes == 0) {
        bytes = static_cast<std::size_t>(section->size() - offset);
    }
    // Each view is a mapping of its own, as on Windows: two views, two addresses.
    std::uint64_t start = platform::detail::kPage + offset;
    std::uint64_t aligned = start & ~std::uint64_t{platform::detail::kPage - 1};
    std::size_t length = static_cast<std::size_t>(start - aligned) + bytes;
    void* base = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, section->fd(),
                        static_cast<off_t>(aligned));
    if (base == MAP_FAILED) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    char* view = static_cast<char*>(base) + (start - aligned);
    try {
        std::lock_guard lock(platform::detail::g_viewMutex);
        platform::detail::g_views.emplace(view,
                                          platform::detail::View{base, length, std::move(section)});
    } catch (...) {
        ::munmap(base, length);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return view;
}

BOOL UnmapViewOfFile(LPCVOID view) noexcept
{
    std::shared_ptr<SectionObject> doomed; // released outside the lock
    std::lock_guard lock(platform::detail::g_viewMutex);
    auto it = platform::detail::g_views.find(view);
    if (it == platform::detail::g_views.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ::munmap(it->second.base, it->second.length);
    doomed = std::move(it->second.section);
    platform::detail::g_views.erase(it);
    return TRUE;
}
