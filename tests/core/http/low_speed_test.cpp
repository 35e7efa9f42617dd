#include <chrono>
#include <cstddef>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "core/http/client_test_helpers.h"
#include "core/http/http_client.h"
#include "core/http/low_speed_check.h"
#include "support/http_test_server.h"

namespace vel {
namespace {

using namespace std::chrono_literals;
using Clock = LowSpeedCheck::Clock;

const Clock::time_point kStart = Clock::time_point{} + 1000h;

Clock::time_point at(std::chrono::milliseconds offset)
{
    return kStart + offset;
}

TEST(LowSpeedCheck, FewerBytesThanTheRuleInAnyWindowRunOut)
{
    {
        // Nothing at all: the first window counts from the start.
        LowSpeedCheck pace(60s, 1024);
        pace.resume(kStart);
        EXPECT_EQ(pace.deadline(kStart), at(60s));
    }
    {
        // A byte now and then never buys more time.
        LowSpeedCheck pace(60s, 1024);
        pace.resume(kStart);
        for (auto when = 10s; when < 60s; when += 10s)
            pace.received(1, at(when));
        EXPECT_EQ(pace.deadline(at(50s)), at(60s));
    }
    {
        // Enough bytes hold until they leave the window; a trickle after them
        // does not make up for it.
        LowSpeedCheck pace(60s, 1024);
        pace.resume(kStart);
        pace.received(1024, at(10s));
        EXPECT_EQ(pace.deadline(at(10s)), at(70s));
        pace.received(1, at(69s));
        EXPECT_EQ(pace.deadline(at(69s)), at(70s));
    }
    {
        // Bytes add up across reads; the window slides with the oldest that is still needed.
        LowSpeedCheck pace(60s, 1024);
        pace.resume(kStart);
        pace.received(512, at(10s));
        EXPECT_EQ(pace.deadline(at(10s)), at(60s));
        pace.received(512, at(40s));
        EXPECT_EQ(pace.deadline(at(40s)), at(70s));
        pace.received(512, at(65s));
        EXPECT_EQ(pace.deadline(at(65s)), at(100s));
    }
    {
        // What has left the window counts no more.
        LowSpeedCheck pace(60s, 1024);
        pace.resume(kStart);
        pace.received(1024, at(10s));
        pace.received(100, at(75s));
        EXPECT_LE(pace.deadline(at(75s)), at(75s));
        pace.received(2000, at(76s));
        EXPECT_EQ(pace.deadline(at(76s)), at(136s));
    }
}

TEST(LowSpeedCheck, OnlyTimeSpentWaitingForAnswersCounts)
{
    LowSpeedCheck pace(60s, 1024);
    pace.resume(kStart);
    pace.received(1024, at(10s));
    // Connecting and sending for the next answer: the clock stands still.
    pace.pause(at(20s));
    pace.resume(at(200s));
    EXPECT_EQ(pace.deadline(at(200s)), at(250s));
    pace.pause(at(210s));
    pace.resume(at(300s));
    EXPECT_EQ(pace.deadline(at(300s)), at(340s));
}

TEST(LowSpeedCheck, ZeroSwitchesItOff)
{
    for (const auto& [window, bytes] :
         {std::pair{0ms, std::size_t{1024}}, std::pair{60'000ms, std::size_t{0}}}) {
        LowSpeedCheck pace(window, bytes);
        pace.resume(kStart);
        pace.received(1, at(1s));
        EXPECT_EQ(pace.deadline(at(1000s)), Clock::time_point::max());
    }
}

// A chain of redirects each answered at once, but with a pause between them:
// no single wait comes near the read time-out, yet the fetch as a whole
// receives far less than the rule asks for.
TEST(LowSpeedCheck, ATrickleOfRedirectsEndsTheFetch)
{
    test::HttpTestServer server;
    for (int hop = 0; hop <= 10; ++hop) {
        test::Route route = test::redirect("/r" + std::to_string(hop + 1));
        // At most three answers of about 60 bytes fit in any window of 300 ms,
        // however slow the machine.
        route.onSent = [] { std::this_thread::sleep_for(150ms); };
        server.route("/r" + std::to_string(hop), route);
    }
    HttpClientOptions options = test::guardedOptions();
    options.lowSpeedWindow = 300ms;
    options.lowSpeedBytes = 1024;
    HttpClient client(options);
    const FetchResult result = client.get(server.url("/r0"));
    EXPECT_EQ(result.outcome, FetchOutcome::OtherFailure);
    EXPECT_EQ(result.error, FetchError::TooSlow) << describe(result.error);
    EXPECT_TRUE(result.body.empty());
}

TEST(LowSpeedCheck, ARedirectWhoseBodyStallsIsNotFollowed)
{
    // The redirect's head is complete, so a broken body alone would not stop
    // it being followed; a fetch found too slow ends there.
    test::HttpTestServer server(
        {{test::receive(),
          test::send("HTTP/1.1 302 Found\r\nLocation: /next\r\nContent-Length: 100\r\n\r\nmov"),
          test::holdOpen()}});
    server.route("/next", test::ok("page"));
    HttpClientOptions options = test::guardedOptions();
    options.lowSpeedWindow = 300ms;
    HttpClient client(options);
    const FetchResult result = client.get(server.url("/start"));
    EXPECT_EQ(result.outcome, FetchOutcome::OtherFailure);
    EXPECT_EQ(result.error, FetchError::TooSlow) << describe(result.error);
    EXPECT_EQ(server.targets(), std::vector<std::string>{"/start"});
}

}  // namespace
}  // namespace vel
