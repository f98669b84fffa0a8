// The registry benchmark. The proxy reads its switches through open + query + close on
// every relayed chunk, so that path is measured on an unchanged value; a committed write
// and, as the baseline, one SQLite point query on the same database are measured too.

#include <platform/Environment.h>
#include <platform/Registry.h>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kRequestKey = "Software\\Kestrani\\Hollowmere\\DLLs\\Filters.dll\\Req";
constexpr int kRounds = 41;
constexpr int kReadsPerRound = 2000;
constexpr int kWrites = 301;

double median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

double nanosecondsSince(Clock::time_point start, int operations)
{
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / operations;
}

bool readSwitch()
{
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, kRequestKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    DWORD value = 0;
    DWORD size = sizeof value;
    const LONG rc =
        RegQueryValueEx(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS && value == 1;
}

double readNs()
{
    std::vector<double> rounds;
    for (int r = 0; r < kRounds; ++r) {
        const auto start = Clock::now();
        for (int i = 0; i < kReadsPerRound; ++i) {
            if (!readSwitch()) {
                std::fprintf(stderr, "registry bench: read failed\n");
                std::exit(1);
            }
        }
        rounds.push_back(nanosecondsSince(start, kReadsPerRound));
    }
    return median(rounds);
}

double writeUs(HKEY key)
{
    std::vector<double> samples;
    for (int i = 0; i < kWrites; ++i) {
        DWORD value = DWORD(i);
        const auto start = Clock::now();
        if (RegSetValueEx(key, "COUNTER", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4) !=
            ERROR_SUCCESS) {
            std::fprintf(stderr, "registry bench: write failed\n");
            std::exit(1);
        }
        samples.push_back(nanosecondsSince(start, 1) / 1000.0);
    }
    return median(samples);
}

// The baseline: what one read would cost if it went to the database every time.
double sqlitePointNs(const std::filesystem::path& db)
{
    sqlite3* handle = nullptr;
    sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(handle,
                       "SELECT data FROM vals WHERE key = (SELECT max(id) FROM keys) "
                       "AND fold = 'blockimages'",
                       -1, &statement, nullptr);
    std::vector<double> rounds;
    for (int r = 0; r < kRounds; ++r) {
        const auto start = Clock::now();
        for (int i = 0; i < kReadsPerRound / 10; ++i) {
            sqlite3_step(statement);
            sqlite3_reset(statement);
        }
        rounds.push_back(nanosecondsSince(start, kReadsPerRound / 10));
    }
    sqlite3_finalize(statement);
    sqlite3_close(handle);
    return median(rounds);
}

} // namespace

int main()
{
    std::string folder =
        (std::filesystem::temp_directory_path() / "umbravia-bench-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    platform::setPrefix(folder);
    HKEY key = nullptr;
    if (RegCreateKeyEx(HKEY_LOCAL_MACHINE, kRequestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                       &key, nullptr) != ERROR_SUCCESS) {
        std::fprintf(stderr, "registry bench: %s\n", platform::registry::storeError().c_str());
        return 1;
    }
    DWORD on = 1;
    RegSetValueEx(key, nullptr, 0, REG_DWORD, reinterpret_cast<BYTE*>(&on), 4);
    for (const char* name : {"BLOCKIMAGES", "BLOCKBANNERS", "USERAGENT", "COOKIES", "REFERER"}) {
        RegSetValueEx(key, name, 0, REG_DWORD, reinterpret_cast<BYTE*>(&on), 4);
    }

    const double read = readNs();
    const double write = writeUs(key);
    RegCloseKey(key);
    const double baseline = sqlitePointNs(std::filesystem::path(folder) / "registry.db");
    std::printf("registry.read_ns %.0f ns\n", read);
    std::printf("registry.write_us %.1f us\n", write);
    std::printf("registry.sqlite_point_ns %.0f ns\n", baseline);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
