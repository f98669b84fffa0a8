// A full cleaning run (what TakeAction does, without the window) over a generated
// profile: 10,000 files in nested folders spread over the swept folders and one custom
// folder, plus 200 URL-cache entries. Everything lives in a temporary prefix, and the
// trash is a temporary one, so the machine's own files are never touched.

#include "HostNotifier.h"
#include "LocalSettings.h"
#include "TraceCleaner.h"

#include <common/Settings.h>
#include <platform/Environment.h>
#include <platform/Shell.h>
#include <platform/WinInet.h>

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int FoldersPerRoot = 5;
constexpr int SubfoldersPerFolder = 5;
constexpr int FilesPerSubfolder = 50; // 8 roots x 5 x 5 x 50 = 10,000 files
constexpr int CacheEntries = 200;

class NoProgress : public local::ProgressSink {
public:
    void open() override {}
    void setStatus(const std::string&) override {}
    void close() override {}
};

fs::path specialFolder(int csidl)
{
    char path[MAX_PATH] = {};
    SHGetSpecialFolderPath(0, path, csidl, TRUE);
    return *platform::toHostPath(path);
}

std::vector<fs::path> roots()
{
    char temp[MAX_PATH] = {};
    GetTempPath(MAX_PATH, temp);
    return {specialFolder(CSIDL_INTERNET_CACHE), specialFolder(CSIDL_COOKIES),
            specialFolder(CSIDL_FAVORITES),      *platform::toHostPath(temp),
            specialFolder(CSIDL_RECENT),         specialFolder(CSIDL_NETHOOD),
            specialFolder(CSIDL_HISTORY),        platform::prefix() / "drive_c" / "custom"};
}

void generateProfile()
{
    const std::string body(100, 'x');
    for (const fs::path& root : roots()) {
        for (int f = 0; f < FoldersPerRoot; ++f) {
            for (int s = 0; s < SubfoldersPerFolder; ++s) {
                const fs::path folder =
                    root / ("folder" + std::to_string(f)) / ("sub" + std::to_string(s));
                fs::create_directories(folder);
                for (int n = 0; n < FilesPerSubfolder; ++n) {
                    std::ofstream(folder / ("file" + std::to_string(n) + ".dat")) << body;
                }
            }
        }
    }
    for (int i = 0; i < CacheEntries; ++i) {
        platform::UrlCacheEntry entry;
        entry.url = "http://www.example.com/page" + std::to_string(i) + ".html";
        entry.content = body;
        (void)platform::addUrlCacheEntry(entry);
    }
}

void selectEverything()
{
    settings::Key key = settings::Key::create(HKEY_LOCAL_MACHINE, local::ModuleKey);
    for (const char* name : local::SwitchWriteOrder) {
        key.writeDword(name, 1);
    }
    settings::Key customDirs = settings::Key::create(key.get(), local::CustomDirsSubkey);
    customDirs.writeDword(nullptr, 1);
    customDirs.writeString("0", "C:\\custom");
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double millisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace

int main()
{
    char pattern[] = "/tmp/umbravia-localbench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path scratch = pattern;
    ::setenv("XDG_DATA_HOME", (scratch / "data").c_str(), 1);
    std::ofstream(scratch / "mounts").flush();
    platform::setMountTableForTests(scratch / "mounts");
    platform::setPrefix(scratch / "prefix");
    selectEverything();

    // LOCAL_BENCH_ROUNDS: how many runs the medians are taken over (default 5).
    const char* roundsText = std::getenv("LOCAL_BENCH_ROUNDS");
    const int rounds = roundsText != nullptr ? std::max(1, std::atoi(roundsText)) : 5;
    std::vector<double> clean;
    std::vector<double> baseline;
    for (int round = 0; round < rounds; ++round) {
        generateProfile();
        auto request = local::readFullRunRequest();
        if (!request) {
            std::fprintf(stderr, "local_bench: settings unreadable\n");
            return 1;
        }
        NoProgress progress;
        local::HostNotifier notifier;
        auto start = std::chrono::steady_clock::now();
        local::TraceCleaner(progress, notifier).run(*request);
        clean.push_back(millisecondsSince(start));

        generateProfile();
        start = std::chrono::steady_clock::now();
        for (const fs::path& root : roots()) {
            for (const auto& entry : fs::directory_iterator(root)) {
                fs::remove_all(entry.path());
            }
        }
        baseline.push_back(millisecondsSince(start));
    }
    std::printf("local.clean10k_ms %.1f ms\n", median(clean));
    std::printf("local.remove_all10k_ms %.1f ms\n", median(baseline));
    std::error_code ec;
    fs::remove_all(scratch, ec);
    return 0;
}
