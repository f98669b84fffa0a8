// Many connection threads calling both filters at once, every option on: each call
// reads its own settings snapshot and works on its own text, so every thread gets the
// result a lone call gets. Built with UMBRAVIA_SANITIZE=thread this is the race check.

#include "FiltersModule.h"

#include <atomic>
#include <thread>
#include <vector>

namespace filters::testing {
namespace {

const std::string Request = "GET http://www.example.com/p/pic.gif?x=1 HTTP/1.1\r\n"
                            "Host: www.example.com\r\n"
                            "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0)\r\n"
                            "Accept: image/gif, */*\r\n"
                            "Accept-Language: en-us\r\n"
                            "Referer: http://ads.example/\r\n"
                            "Cookie: id=1\r\n"
                            "X-Local: 10.0.0.1\r\n"
                            "\r\n";
// No rule here draws on the letter generator, so every result is exactly predictable.
const std::string Page = "<html><title>t</title><script>x()</script>"
                         "<a onclick=\"window.open('p.htm');setTimeout(f, 5)\">a</a>"
                         "<td><object data=\"m.swf\"></object></td></html>";
// The generator's letters differ from call to call; the length never does.
const std::string Scrambled = "<body onunload=\"a\" oncontextmenu=\"b\">window.status='c';";

using Concurrency = FiltersModule;

TEST_F(Concurrency, ManyThreadsGetTheResultsOfALoneCall)
{
    setLevel(4);
    setRequest("FAKEIP", 0x7F000002);
    const std::string list = std::string(settings::RequestKey) + "\\CUSTOMFILTERS";
    settings::saveList(HKEY_LOCAL_MACHINE, list.c_str(), {1, {"Accept-Language: fr"}});
    key(settings::BannersKey).writeString("ads.example", "localhost");

    const std::optional<std::string> wantRequest = request(Request);
    ASSERT_TRUE(wantRequest);
    const std::string wantPage = response(Page);
    ASSERT_NE(wantPage, Page);

    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 40; ++i) {
                if (t % 2 == 0) {
                    std::string chunk = Request + '\0';
                    unsigned int length = 0;
                    char* out = m_filterRequest(chunk.data(), static_cast<int>(Request.size()),
                                                &length, "10.0.0.1");
                    if (out == nullptr || std::string(out, length) != *wantRequest) {
                        ++mismatches;
                    }
                    m_free(out);
                }
                std::string page = Page + '\0';
                m_filterResponse(page.data(), static_cast<int>(Page.size()));
                std::string scrambled = Scrambled + '\0';
                m_filterResponse(scrambled.data(), static_cast<int>(Scrambled.size()));
                if (page != wantPage + '\0' || scrambled.size() != Scrambled.size() + 1 ||
                    scrambled.find("onunload") != std::string::npos || scrambled.back() != '\0') {
                    ++mismatches;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_TRUE(m_boxes->calls().empty());
}

} // namespace
} // namespace filters::testing
