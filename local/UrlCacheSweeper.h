#pragma once
// The URL-cache sweep: mode 0 deletes every entry that is not a cookie, mode 1 every
// cookie entry.

namespace local {

class HostNotifier;

class UrlCacheSweeper {
public:
    enum Mode { NonCookies = 0, Cookies = 1 };

    explicit UrlCacheSweeper(HostNotifier& notifier) : m_notifier(notifier) {}
    // Walks the whole cache (the size of each entry asked first), then posts the change
    // notification, also when the cache could not be listed.
    void sweep(Mode mode);

private:
    HostNotifier& m_notifier;
};

} // namespace local
