#include "FuzzPrefix.h"

#include "EveryOption.h"
#include "Registration.h"

#include <common/Settings.h>
#include <platform/Environment.h>
#include <platform/MessageBox.h>
#include <platform/WinInet.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace filters::fuzz {

namespace {

std::filesystem::path g_prefix;

void removePrefix()
{
    std::error_code ec;
    std::filesystem::remove_all(g_prefix, ec);
}

// A box would mean broken settings, which the fuzzers never set up: stop loudly.
class AbortingPresenter : public platform::MessageBoxPresenter {
public:
    int present(const platform::MessageBoxCall& call) override
    {
        std::fprintf(stderr, "unexpected message box: %s\n", call.text.c_str());
        std::abort();
    }
};

void writeList(const std::string& path, std::vector<std::string> entries)
{
    settings::saveList(HKEY_LOCAL_MACHINE, path.c_str(), {1, std::move(entries)});
}

} // namespace

void preparePrefix()
{
    static bool done = false;
    if (done) {
        return;
    }
    done = true;
    std::string pattern = (std::filesystem::temp_directory_path() / "filters-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    g_prefix = pattern;
    std::atexit(removePrefix);
    platform::setPrefix(g_prefix);
    platform::setMessageBoxPresenter(std::make_shared<AbortingPresenter>());

    if (!Registration::registerModule("C:\\Fuzz\\Filters.dll")) {
        std::abort();
    }
    filters::switchEveryOptionOn();
    const std::string base = settings::RequestKey;
    writeList(base + "\\CUSTOMFILTERS", {"Accept-Language: fr", "Host: example.org", "X: "});
    writeList(base + "\\STOPSERVERS", {"blocked.example", "ADS."});
    writeList(base + "\\COOKIETRUSTEDSITES", {"example", "a"});
    const settings::Key banners = settings::Key::create(HKEY_LOCAL_MACHINE, settings::BannersKey);
    banners.writeString("banner.example", "localhost");
    banners.writeString("gif", "a much longer replacement text");
    platform::setCookie("http://www.example.com/", "seen=10.0.0.1; path=/");
    platform::setCookie("http://a/", "k=v; path=/");
}

} // namespace filters::fuzz
