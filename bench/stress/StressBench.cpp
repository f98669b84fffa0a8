// The stress harness's client side: drives a running Umbravia.exe (started by run.sh in
// a prefix of its own, with a loopback origin on port 80) with many keep-alive clients,
// slow clients, hostile input and stop/start cycles, and samples the host's threads,
// descriptors and resident memory from /proc. Prints "name value unit" lines and one
// "FAIL ..." line per broken promise; the exit status is the number of FAIL lines.
//
// stress_bench PROXYPORT ORIGIN HOSTPID CTL

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <barrier>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

int g_port = 0;
std::string g_origin;
pid_t g_host = 0;
std::string g_ctl;
int g_failures = 0;

constexpr const char* Agent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)";

void figure(const std::string& name, double value, const char* unit)
{
    std::printf("stress.%s %.*f %s\n", name.c_str(), value == static_cast<long>(value) ? 0 : 2,
                value, unit);
    std::fflush(stdout);
}

void fail(const std::string& what)
{
    std::printf("FAIL %s\n", what.c_str());
    std::fflush(stdout);
    ++g_failures;
}

bool hostAlive()
{
    return ::kill(g_host, 0) == 0;
}

// --- the host from /proc ----------------------------------------------------------------

struct Sample {
    long threads = 0;
    long fds = 0;
    long rssKb = 0;
};

Sample sample()
{
    Sample s;
    std::ifstream status("/proc/" + std::to_string(g_host) + "/status");
    std::string key;
    while (status >> key) {
        if (key == "Threads:") {
            status >> s.threads;
        } else if (key == "VmRSS:") {
            status >> s.rssKb;
        }
        status.ignore(1 << 16, '\n');
    }
    // Entries come and go while they are read: count what readdir gives.
    if (DIR* fds = ::opendir(("/proc/" + std::to_string(g_host) + "/fd").c_str())) {
        while (const dirent* entry = ::readdir(fds)) {
            s.fds += entry->d_name[0] != '.' ? 1 : 0;
        }
        ::closedir(fds);
    }
    return s;
}

void report(const std::string& name, const Sample& s)
{
    figure(name + ".threads", static_cast<double>(s.threads), "threads");
    figure(name + ".fds", static_cast<double>(s.fds), "fds");
    figure(name + ".rss_mb", static_cast<double>(s.rssKb) / 1024.0, "MiB");
}

// Whether resident memory is held to the baseline. Not under AddressSanitizer: its
// quarantine keeps freed memory resident on purpose (STRESS_NO_RSS_CHECK, set by
// scripts/stress-sanitized.sh); the figure is still printed.
bool checkResidentMemory()
{
    static const bool check = std::getenv("STRESS_NO_RSS_CHECK") == nullptr;
    return check;
}

// Waits up to limit for the host to come back to the baseline; reports the sample after.
void expectBaseline(const std::string& name, const Sample& base, std::chrono::seconds limit)
{
    const auto end = Clock::now() + limit;
    Sample now = sample();
    const auto memoryBack = [&] {
        return !checkResidentMemory() || now.rssKb <= base.rssKb + 10 * 1024;
    };
    const auto back = [&] {
        return now.threads <= base.threads && now.fds <= base.fds && memoryBack();
    };
    while (!back() && Clock::now() < end) {
        std::this_thread::sleep_for(100ms);
        now = sample();
    }
    report(name + ".after", now);
    if (now.threads > base.threads || now.fds > base.fds) {
        fail(name + ": threads/descriptors not back to the baseline within " +
             std::to_string(limit.count()) + " s");
    }
    if (!memoryBack()) {
        fail(name + ": resident memory more than 10 MiB above the baseline after " +
             std::to_string(limit.count()) + " s");
    }
}

// --- clients ------------------------------------------------------------------------------

int connectTo(const char* address, int port, int timeoutMs = 10000)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) {
        return -1;
    }
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    int on = 1;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    ::inet_pton(AF_INET, address, &to.sin_addr);
    if (::connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        ::close(s);
        return -1;
    }
    return s;
}

int connectProxy(int timeoutMs = 10000)
{
    return connectTo("127.0.0.1", g_port, timeoutMs);
}

bool sendAll(int s, const std::string& bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(s, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

std::string requestFor(const std::string& path, const std::string& extra = {})
{
    return "GET http://" + g_origin + path + " HTTP/1.1\r\nHost: " + g_origin +
           "\r\nUser-Agent: " + Agent + "\r\n" + extra + "\r\n";
}

// Reads one response (head and Content-Length body); true for a 200.
bool readResponse(int s)
{
    std::string data;
    char buffer[65536];
    std::size_t headEnd;
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
        const ssize_t n = ::recv(s, buffer, sizeof buffer, 0);
        if (n <= 0) {
            return false;
        }
        data.append(buffer, static_cast<std::size_t>(n));
    }
    const bool ok = data.compare(0, 12, "HTTP/1.1 200") == 0;
    std::size_t length = 0;
    const std::size_t at = data.find("Content-Length: ");
    if (at != std::string::npos && at < headEnd) {
        length = std::strtoul(data.c_str() + at + 16, nullptr, 10);
    }
    std::size_t have = data.size() - headEnd - 4;
    while (have < length) {
        const ssize_t n = ::recv(s, buffer, std::min(sizeof buffer, length - have), 0);
        if (n <= 0) {
            return false;
        }
        have += static_cast<std::size_t>(n);
    }
    return ok;
}

bool fetch(int s, const std::string& path, double* ms = nullptr)
{
    const auto start = Clock::now();
    const bool ok = sendAll(s, requestFor(path)) && readResponse(s);
    if (ms != nullptr) {
        *ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    }
    return ok;
}

// A fresh connection and one request: whether the proxy still relays.
bool relays()
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int s = connectProxy(5000);
        const bool ok = s >= 0 && fetch(s, "/s.html");
        if (s >= 0) {
            ::close(s);
        }
        if (ok) {
            return true;
        }
    }
    return false;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

void closeHard(int s)
{
    linger hard{1, 0}; // a reset instead of an orderly end
    ::setsockopt(s, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    ::close(s);
}

// --- the scenarios ---------------------------------------------------------------------

void concurrentClients(int clients, int requestsEach)
{
    const std::string name = "c" + std::to_string(clients);
    const Sample base = sample();
    std::mutex mutex; // guards latencies
    std::vector<double> latencies;
    std::atomic<int> answered{0};
    std::atomic<int> errors{0};
    std::barrier connected(clients + 1);
    std::barrier done(clients + 1);
    std::barrier sampled(clients + 1);
    std::vector<std::thread> threads;
    threads.reserve(static_cast<std::size_t>(clients));
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&] {
            const int s = connectProxy();
            connected.arrive_and_wait();
            std::vector<double> mine;
            for (int r = 0; r < requestsEach; ++r) {
                double ms = 0;
                if (s >= 0 && fetch(s, "/s.html", &ms)) {
                    ++answered;
                    mine.push_back(ms);
                } else {
                    ++errors;
                    break;
                }
            }
            if (static_cast<int>(mine.size()) < requestsEach) {
                errors += requestsEach - static_cast<int>(mine.size()) - 1;
            }
            {
                std::lock_guard lock(mutex);
                latencies.insert(latencies.end(), mine.begin(), mine.end());
            }
            done.arrive_and_wait(); // everyone holds the connection until the sample
            sampled.arrive_and_wait();
            if (s >= 0) {
                ::close(s);
            }
        });
    }
    connected.arrive_and_wait();
    done.arrive_and_wait();
    const Sample peak = sample();
    sampled.arrive_and_wait();
    for (std::thread& t : threads) {
        t.join();
    }
    const int total = clients * requestsEach;
    const double success = 100.0 * answered.load() / total;
    figure(name + ".success_pct", success, "%");
    figure(name + ".errors", errors.load(), "requests");
    figure(name + ".p50_ms", percentile(latencies, 0.50), "ms");
    figure(name + ".p99_ms", percentile(latencies, 0.99), "ms");
    report(name + ".base", base);
    report(name + ".peak", peak);
    if (success < 99.9) {
        fail(name + ": " + std::to_string(success) + " % of requests answered (target 99.9 %)");
    }
    expectBaseline(name, base, 5s);
}

// Normal clients on kept-alive connections for the given time; their latencies.
std::vector<double> normalLoad(int clients, std::chrono::seconds duration, int* errors)
{
    std::mutex mutex;
    std::vector<double> latencies;
    std::atomic<int> failed{0};
    const auto end = Clock::now() + duration;
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&] {
            int s = connectProxy();
            std::vector<double> mine;
            while (Clock::now() < end) {
                double ms = 0;
                if (s >= 0 && fetch(s, "/s.html", &ms)) {
                    mine.push_back(ms);
                    continue;
                }
                ++failed;
                if (s >= 0) {
                    ::close(s);
                }
                s = connectProxy();
            }
            if (s >= 0) {
                ::close(s);
            }
            std::lock_guard lock(mutex);
            latencies.insert(latencies.end(), mine.begin(), mine.end());
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    *errors = failed.load();
    return latencies;
}

void slowClients()
{
    const Sample base = sample();
    int errors = 0;
    const std::vector<double> alone = normalLoad(50, 5s, &errors);
    std::atomic<bool> stop{false};
    std::vector<std::thread> slow;
    for (int c = 0; c < 200; ++c) {
        slow.emplace_back([&] {
            const int s = connectProxy();
            const std::string head = requestFor("/s.html");
            for (std::size_t i = 0; s >= 0 && i < head.size() && !stop.load(); ++i) {
                if (::send(s, head.data() + i, 1, MSG_NOSIGNAL) != 1) {
                    break;
                }
                for (int tick = 0; tick < 10 && !stop.load(); ++tick) {
                    std::this_thread::sleep_for(100ms); // a byte a second
                }
            }
            if (s >= 0) {
                ::close(s);
            }
        });
    }
    std::this_thread::sleep_for(2s); // every slow client is connected and trickling
    int slowErrors = 0;
    const std::vector<double> beside = normalLoad(50, 5s, &slowErrors);
    const Sample peak = sample();
    stop = true;
    for (std::thread& t : slow) {
        t.join();
    }
    const double p99Alone = percentile(alone, 0.99);
    const double p99Beside = percentile(beside, 0.99);
    figure("slow.normal_alone_p99_ms", p99Alone, "ms");
    figure("slow.normal_beside_p99_ms", p99Beside, "ms");
    figure("slow.normal_errors", errors + slowErrors, "requests");
    report("slow.peak", peak);
    // Sub-millisecond figures are noise on a shared machine: 1 ms is the least bound.
    if (p99Beside > 2 * std::max(p99Alone, 1.0)) {
        fail("slow: normal clients' p99 " + std::to_string(p99Beside) + " ms beside slow ones, " +
             std::to_string(p99Alone) + " ms alone (target at most 2x)");
    }
    if (errors + slowErrors > 0) {
        fail("slow: " + std::to_string(errors + slowErrors) + " normal requests failed");
    }
    expectBaseline("slow", base, 5s);
}

int closedPort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t size = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &size);
    ::close(s);
    return ntohs(a.sin_port);
}

// Sends bytes on a fresh connection and gives the proxy a moment to act on them.
void sendAndLeave(const std::string& bytes, bool halfClose = false)
{
    const int s = connectProxy(3000);
    if (s < 0) {
        return;
    }
    sendAll(s, bytes);
    if (halfClose) {
        ::shutdown(s, SHUT_WR);
    }
    char buffer[4096];
    pollfd p{s, POLLIN, 0};
    const auto end = Clock::now() + 300ms;
    while (Clock::now() < end && ::poll(&p, 1, 50) >= 0) {
        if ((p.revents & POLLIN) != 0 && ::recv(s, buffer, sizeof buffer, 0) <= 0) {
            break;
        }
    }
    ::close(s);
}

struct BadInput {
    const char* name;
    std::function<bool()> run; // false: the input itself was handled wrongly
};

std::vector<BadInput> badInputs()
{
    const std::string noHost = "GET http://" + g_origin + "/ HTTP/1.1\r\n";
    return {
        {"head_16k_no_host",
         [=] {
             sendAndLeave(noHost + std::string(16384, 'a'));
             return true;
         }},
        {"head_1m_no_host",
         [=] {
             std::string head = noHost;
             while (head.size() < (1u << 20)) {
                 head += "X-Filler: " + std::string(100, 'b') + "\r\n";
             }
             sendAndLeave(head);
             return true;
         }},
        {"host_10000_chars",
         [=] {
             sendAndLeave("GET http://x/ HTTP/1.1\r\nHost: " + std::string(10000, 'h') +
                          "\r\nUser-Agent: " + Agent + "\r\n\r\n");
             return true;
         }},
        {"binary_garbage",
         [] {
             std::mt19937 random(7);
             std::string bytes(65536, '\0');
             for (char& c : bytes) {
                 c = static_cast<char>(random());
             }
             sendAndLeave(bytes);
             return true;
         }},
        {"nul_bytes",
         [=] {
             std::string head = requestFor("/s.html", std::string("X-Nul: a\0b\0c\r\n", 13));
             head.insert(4, std::string(3, '\0'));
             sendAndLeave(head);
             return true;
         }},
        {"unresolvable_host",
         [] {
             sendAndLeave("GET http://no-such-host.invalid/ HTTP/1.1\r\nHost: "
                          "no-such-host.invalid\r\nUser-Agent: " +
                          std::string(Agent) + "\r\n\r\n");
             return true;
         }},
        {"host_with_port",
         [=] {
             sendAndLeave("GET http://" + g_origin + ":8080/ HTTP/1.1\r\nHost: " + g_origin +
                          ":8080\r\nUser-Agent: " + Agent + "\r\n\r\n");
             return true;
         }},
        {"connect_closed_port",
         [] {
             const std::string target = "127.0.0.1:" + std::to_string(closedPort());
             sendAndLeave("CONNECT " + target + " HTTP/1.1\r\nHost: " + target +
                          "\r\nUser-Agent: " + Agent + "\r\n\r\n");
             return true;
         }},
        {"http09_line",
         [] {
             sendAndLeave("GET /\r\n");
             return true;
         }},
        {"reset_mid_request",
         [=] {
             const int s = connectProxy(3000);
             if (s >= 0) {
                 sendAll(s, noHost + "User-Agent: x\r\n");
                 std::this_thread::sleep_for(50ms);
                 closeHard(s);
             }
             return true;
         }},
        {"reset_mid_response",
         [=] {
             const int s = connectProxy(3000);
             if (s >= 0) {
                 sendAll(s, requestFor("/big.bin"));
                 char buffer[4096];
                 ::recv(s, buffer, sizeof buffer, 0);
                 closeHard(s);
             }
             return true;
         }},
        {"half_close",
         [=] {
             const int s = connectProxy(10000);
             const bool ok = s >= 0 && sendAll(s, requestFor("/s.html", "Connection: close\r\n")) &&
                             ::shutdown(s, SHUT_WR) == 0 && readResponse(s);
             if (s >= 0) {
                 ::close(s);
             }
             return ok; // the response must arrive in full
         }},
        {"connect_and_close_10000",
         [] {
             for (int i = 0; i < 10000; ++i) {
                 const int s = connectProxy(3000);
                 if (s >= 0) {
                     ::close(s);
                 }
             }
             return true;
         }},
    };
}

int ctl(const std::vector<std::string>& arguments)
{
    const pid_t child = ::fork();
    if (child == 0) {
        std::vector<char*> argv{const_cast<char*>(g_ctl.c_str())};
        for (const std::string& a : arguments) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        ::freopen("/dev/null", "w", stdout);
        ::execv(g_ctl.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void hostileInput()
{
    int handled = 0;
    int total = 0;
    for (int level : {0, 4}) {
        if (ctl({"privacy", std::to_string(level)}) != 0) {
            fail("bad input: umbravia-ctl privacy " + std::to_string(level) + " failed");
        }
        for (const BadInput& input : badInputs()) {
            ++total;
            const std::string name = std::string(input.name) + ".level" + std::to_string(level);
            const bool inputOk = input.run();
            const bool alive = hostAlive();
            const bool relaying = alive && relays();
            if (inputOk && relaying) {
                ++handled;
            } else {
                fail("bad input " + name + ":" + (alive ? "" : " the host ended") +
                     (relaying ? "" : " the proxy no longer relays") +
                     (inputOk ? "" : " handled wrongly"));
            }
            if (!alive) {
                figure("badinput.handled", handled, "inputs");
                return;
            }
        }
    }
    figure("badinput.handled", handled, "inputs");
    figure("badinput.total", total, "inputs");
}

void stopStartCycles(int cycles)
{
    const Sample base = sample();
    std::atomic<bool> stop{false};
    std::vector<std::thread> load;
    for (int c = 0; c < 4; ++c) {
        load.emplace_back([&] {
            while (!stop.load()) {
                const int s = connectProxy(2000);
                if (s >= 0) {
                    fetch(s, "/s.html");
                    ::close(s);
                } else {
                    std::this_thread::sleep_for(5ms);
                }
            }
        });
    }
    int back = 0;
    for (int i = 0; i < cycles && hostAlive(); ++i) {
        const bool stopped = ctl({"stop"}) == 0;
        const bool started = ctl({"start"}) == 0;
        int s = -1;
        for (int attempt = 0; attempt < 40 && s < 0; ++attempt) {
            s = connectProxy(1000);
            if (s < 0) {
                std::this_thread::sleep_for(50ms);
            }
        }
        if (s >= 0) {
            ::close(s);
        }
        back += stopped && started && s >= 0 ? 1 : 0;
    }
    stop = true;
    for (std::thread& t : load) {
        t.join();
    }
    figure("stopstart.back", back, "cycles");
    figure("stopstart.cycles", cycles, "cycles");
    if (back != cycles) {
        fail("stop/start: the port came back in " + std::to_string(back) + " of " +
             std::to_string(cycles) + " cycles");
    }
    const Sample after = sample();
    figure("stopstart.fd_growth", static_cast<double>(after.fds - base.fds), "fds");
    if (!relays()) {
        fail("stop/start: the proxy no longer relays afterwards");
    }
    expectBaseline("stopstart", base, 5s);
}

void allowManyDescriptors()
{
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: stress_bench PROXYPORT ORIGIN HOSTPID CTL\n");
        return 2;
    }
    g_port = std::atoi(argv[1]);
    g_origin = argv[2];
    g_host = static_cast<pid_t>(std::atoi(argv[3]));
    g_ctl = argv[4];
    ::signal(SIGPIPE, SIG_IGN);
    allowManyDescriptors();

    // The idle baseline is taken once the host has served a request.
    relays();
    std::this_thread::sleep_for(500ms);
    report("idle", sample());
    const char* only = std::getenv("STRESS_ONLY"); // one scenario, for debugging
    const auto wanted = [only](const char* name) {
        return only == nullptr || std::strcmp(only, name) == 0;
    };
    for (int clients : {500, 1000, 2000}) {
        if (wanted("clients") && hostAlive()) {
            concurrentClients(clients, 5);
        }
    }
    if (wanted("slow") && hostAlive()) {
        slowClients();
    }
    if (wanted("badinput") && hostAlive()) {
        hostileInput();
    }
    if (wanted("stopstart") && hostAlive()) {
        stopStartCycles(200);
    }
    if (!hostAlive()) {
        fail("the host is no longer running");
    }
    return g_failures;
}
