// The window table shared by the processes of a prefix.

#include "WindowTable.h"

#include <strings.h>

#include <cstring>

namespace platform::detail {

namespace {

constexpr std::uint32_t kMagic = 0x57494E44; // "WIND"
constexpr std::uint32_t kVersion = 1;
constexpr std::uint32_t kSlotBits = 10;
constexpr std::uint32_t kCapacity = 1u << kSlotBits; // windows per prefix
constexpr std::uint32_t kSlotMask = kCapacity - 1;
constexpr std::uint32_t kMaxGeneration = (1u << (32 - kSlotBits)) - 1;
constexpr std::uint32_t kTopLevel = 0x1;
constexpr std::uint32_t kVisible = 0x2;

struct Entry {
    std::uint32_t hwnd; // 0: free
    std::uint32_t parent;
    std::int32_t pid;
    std::uint32_t threadId;
    std::uint64_t startTime;
    std::uint64_t sequence;
    std::uint32_t flags;
    std::uint32_t generation;
    char className[64];
    char title[184];
};

void copyText(char* to, std::size_t size, std::string_view text)
{
    std::size_t n = std::min(size - 1, text.size());
    std::memcpy(to, text.data(), n);
    to[n] = '\0';
}

WindowRecord recordOf(const Entry& e)
{
    WindowRecord r;
    r.hwnd = e.hwnd;
    r.parent = e.parent;
    r.topLevel = (e.flags & kTopLevel) != 0;
    r.visible = (e.flags & kVisible) != 0;
    r.owner = ProcessIdentity{e.pid, e.startTime};
    r.threadId = e.threadId;
    r.className = e.className;
    r.title = e.title;
    return r;
}

bool matches(const char* wanted, const char* have)
{
    return wanted == nullptr || strcasecmp(wanted, have) == 0;
}

} // namespace

struct WindowTable::Layout {
    std::uint32_t magic;
    std::uint32_t version;
    std::uint32_t capacity;
    std::uint32_t cursor;
    std::uint64_t sequence;
    pthread_mutex_t mutex; // guards everything below and above
    Entry entries[kCapacity];
};

WindowTable::WindowTable(std::unique_ptr<SharedRegion> region) : m_region(std::move(region)) {}

WindowTable::~WindowTable() = default;

WindowTable::Layout* WindowTable::layout() const
{
    return static_cast<Layout*>(m_region->data());
}

Result<std::shared_ptr<WindowTable>> WindowTable::open(const HostPath& runFolder)
{
    auto region = SharedRegion::open(runFolder / "windows.tbl", sizeof(Layout),
                                     SharedRegion::Mode::OpenOrCreate, [](void* p) {
                                         auto* l = static_cast<Layout*>(p);
                                         std::memset(l, 0, sizeof *l);
                                         l->magic = kMagic;
                                         l->version = kVersion;
                                         l->capacity = kCapacity;
                                         initSharedMutex(&l->mutex);
                                     });
    if (!region) {
        return region.error();
    }
    auto* l = static_cast<Layout*>((*region)->data());
    if (l->magic != kMagic || l->version != kVersion || l->capacity != kCapacity) {
        return makeError(ERROR_INVALID_HANDLE, "unknown window table layout");
    }
    return std::shared_ptr<WindowTable>(new WindowTable(std::move(*region)));
}

HWND WindowTable::add(const WindowRecord& record)
{
    Layout* l = layout();
    SharedLock lock(&l->mutex);
    for (std::uint32_t i = 0; i < kCapacity; ++i) {
        std::uint32_t slot = (l->cursor + i) & kSlotMask;
        Entry& e = l->entries[slot];
        if (e.hwnd != 0 && !isAlive(ProcessIdentity{e.pid, e.startTime})) {
            e.hwnd = 0; // left by a process that was killed
        }
        if (e.hwnd != 0) {
            continue;
        }
        std::uint32_t generation = e.generation >= kMaxGeneration ? 1 : e.generation + 1;
        Entry fresh{};
        fresh.hwnd = (generation << kSlotBits) | slot;
        fresh.parent = record.parent;
        fresh.pid = record.owner.pid;
        fresh.startTime = record.owner.startTime;
        fresh.threadId = record.threadId;
        fresh.sequence = ++l->sequence;
        fresh.flags = (record.topLevel ? kTopLevel : 0) | (record.visible ? kVisible : 0);
        fresh.generation = generation;
        copyText(fresh.className, sizeof fresh.className, record.className);
        copyText(fresh.title, sizeof fresh.title, record.title);
        e = fresh;
        l->cursor = (slot + 1) & kSlotMask;
        return fresh.hwnd;
    }
    return 0;
}

void WindowTable::remove(HWND hwnd)
{
    Layout* l = layout();
    SharedLock lock(&l->mutex);
    Entry& e = l->entries[hwnd & kSlotMask];
    if (e.hwnd == hwnd) {
        e.hwnd = 0;
    }
}

void WindowTable::removeProcess(const ProcessIdentity& process)
{
    Layout* l = layout();
    SharedLock lock(&l->mutex);
    for (Entry& e : l->entries) {
        if (e.hwnd != 0 && e.pid == process.pid && e.startTime == process.startTime) {
            e.hwnd = 0;
        }
    }
}

std::optional<WindowRecord> WindowTable::lookup(HWND hwnd)
{
    if (hwnd == 0) {
        return std::nullopt;
    }
    Layout* l = layout();
    SharedLock lock(&l->mutex);
    const Entry& e = l->entries[hwnd & kSlotMask];
    if (e.hwnd != hwnd) {
        return std::nullopt;
    }
    return recordOf(e);
}

std::optional<WindowRecord> WindowTable::lookupLive(HWND hwnd)
{
    std::optional<WindowRecord> record = lookup(hwnd);
    if (record && !isAlive(record->owner)) {
        remove(hwnd);
        return std::nullopt;
    }
    return record;
}

HWND WindowTable::find(const char* className, const char* title)
{
    return findMatching(className, title, std::nullopt);
}

HWND WindowTable::findChild(HWND parent, const char* className, const char* title)
{
    return findMatching(className, title, parent);
}

HWND WindowTable::findMatching(const char* className, const char* title, std::optional<HWND> parent)
{
    Layout* l = layout();
    SharedLock lock(&l->mutex);
    ProcessIdentity self = selfIdentity();
    Entry* best = nullptr;
    for (Entry& e : l->entries) {
        const bool placed = parent ? e.parent == *parent : (e.flags & kTopLevel) != 0;
        if (e.hwnd == 0 || !placed || !matches(className, e.className) ||
            !matches(title, e.title)) {
            continue;
        }
        ProcessIdentity owner{e.pid, e.startTime};
        if (!(owner == self) && !isAlive(owner)) {
            e.hwnd = 0;
            continue;
        }
        if (best == nullptr || e.sequence > best->sequence) {
            best = &e;
        }
    }
    return best != nullptr ? best->hwnd : 0;
}

void WindowTable::setTitle(HWND hwnd, std::string_view title)
{
    Layout* l = layout();
    SharedLock lock(&l->mutex);
    Entry& e = l->entries[hwnd & kSlotMask];
    if (e.hwnd == hwnd) {
        copyText(e.title, sizeof e.title, title);
    }
}

void WindowTable::setVisible(HWND hwnd, bool visible)
{
    Layout* l = layout();
    SharedLock lock(&l->mutex);
    Entry& e = l->entries[hwnd & kSlotMask];
    if (e.hwnd == hwnd) {
        e.flags = visible ? (e.flags | kVisible) : (e.flags & ~kVisible);
    }
}

} // namespace platform::detail
