// The checks that keep another site from using the operator page's service:
// the Host header, the cookie's parsing, the Origin and Sec-Fetch-Site rules
// for the cookie's requests, and the one-time login code and the sessions,
// with their lifetimes.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "rules/web_guard.h"
#include "rules/web_sessions.h"

namespace zelvo_host {
namespace {

TEST(WebGuard, OnlyTheServiceOwnAddressAndPortAreAHost)
{
    EXPECT_TRUE(hostAllowed("127.0.0.1:18766", 18766));
    for (const char* host : {"127.0.0.1", "127.0.0.1:18767", "localhost:18766", "attacker.example:18766",
                             "127.0.0.1:18766.attacker.example", "127.0.0.1:187660", " 127.0.0.1:18766", ""}) {
        EXPECT_FALSE(hostAllowed(host, 18766)) << host;
    }
}

TEST(WebGuard, TheSessionCookieIsFoundByItsExactName)
{
    const std::string header = "other=1; zelvo_session_18767=bbb;zelvo_session_18766 = aaa ; x=";
    EXPECT_EQ(cookieValue(header, sessionCookieName(18766)), "aaa");
    EXPECT_EQ(cookieValue(header, sessionCookieName(18767)), "bbb");
    EXPECT_EQ(cookieValue(header, "zelvo_session_1876"), "");
    EXPECT_EQ(cookieValue("", "x"), "");
    EXPECT_EQ(cookieValue("x", "x"), "");
    EXPECT_EQ(sessionCookie(18766, "s"), "zelvo_session_18766=s; Path=/; HttpOnly; SameSite=Strict");
}

TEST(WebGuard, ACookieRequestThatChangesSomethingMustComeFromThePage)
{
    EXPECT_TRUE(cookieRequestAllowed("POST", "http://127.0.0.1:18766", "", false, 18766));
    EXPECT_TRUE(cookieRequestAllowed("POST", "", "", true, 18766));
    EXPECT_TRUE(cookieRequestAllowed("GET", "", "", false, 18766));
    EXPECT_FALSE(cookieRequestAllowed("POST", "", "", false, 18766));
    EXPECT_FALSE(cookieRequestAllowed("PUT", "", "", false, 18766));
    // Another origin is refused even with the page's header, and even to read.
    EXPECT_FALSE(cookieRequestAllowed("POST", "http://127.0.0.1:8000", "", true, 18766));
    EXPECT_FALSE(cookieRequestAllowed("GET", "http://attacker.example", "", false, 18766));
    EXPECT_FALSE(cookieRequestAllowed("POST", "null", "", true, 18766));
}

TEST(WebGuard, ABrowserSFetchSiteOtherThanSameOriginIsRefusedEvenToRead)
{
    EXPECT_TRUE(cookieRequestAllowed("GET", "", "same-origin", false, 18766));
    EXPECT_TRUE(cookieRequestAllowed("POST", "http://127.0.0.1:18766", "same-origin", true, 18766));
    // An <img> of a page on another port of 127.0.0.1 sends no Origin, and "same-site".
    for (const char* site : {"same-site", "cross-site", "none", "Same-Origin"}) {
        EXPECT_FALSE(cookieRequestAllowed("GET", "", site, false, 18766)) << site;
        EXPECT_FALSE(cookieRequestAllowed("POST", "http://127.0.0.1:18766", site, true, 18766)) << site;
    }
}

WebSessions sessions()
{
    auto counter = std::make_shared<int>(0);
    return WebSessions([counter] { return "secret" + std::to_string(++*counter); },
                       [](std::string_view a, std::string_view b) { return a == b; }, 2);
}

constexpr std::int64_t at = 5000000;  // any steady time
constexpr std::int64_t minute = 60 * 1000;
constexpr std::int64_t hour = 60 * minute;

TEST(WebSessions, ALoginCodeIsGoodOnceAndOnlyTheNewest)
{
    WebSessions web = sessions();
    EXPECT_EQ(web.exchange("", at), "");
    const std::string older = web.newLoginCode(at);
    const std::string newer = web.newLoginCode(at);
    EXPECT_EQ(web.exchange(older, at), "");
    const std::string session = web.exchange(newer, at);
    EXPECT_FALSE(session.empty());
    EXPECT_TRUE(web.isSession(session, at));
    EXPECT_EQ(web.exchange(newer, at), "");
    EXPECT_FALSE(web.isSession(newer, at));
    EXPECT_FALSE(web.isSession("", at));
}

TEST(WebSessions, TheOldestSessionGivesWayBeyondTheBound)
{
    WebSessions web = sessions();
    std::vector<std::string> started;
    for (int index = 0; index < 3; ++index) {
        started.push_back(web.exchange(web.newLoginCode(at), at));
    }
    EXPECT_FALSE(web.isSession(started[0], at));
    EXPECT_TRUE(web.isSession(started[1], at));
    EXPECT_TRUE(web.isSession(started[2], at));
}

TEST(WebSessions, ACodeLastsTenMinutesAndASessionTwelveHours)
{
    WebSessions web = sessions();
    const std::string late = web.newLoginCode(at);
    EXPECT_EQ(web.exchange(late, at + 10 * minute), "");
    EXPECT_EQ(web.exchange(late, at + 1), "");  // spent by the late try too
    const std::string code = web.newLoginCode(at);
    const std::string session = web.exchange(code, at + 10 * minute - 1);
    ASSERT_FALSE(session.empty());
    EXPECT_TRUE(web.isSession(session, at + 12 * hour + 10 * minute - 2));
    EXPECT_FALSE(web.isSession(session, at + 12 * hour + 10 * minute - 1));
    // An expired session is not brought back by later sign-ins.
    const std::string next = web.exchange(web.newLoginCode(at + 13 * hour), at + 13 * hour);
    EXPECT_TRUE(web.isSession(next, at + 13 * hour));
    EXPECT_FALSE(web.isSession(session, at + 13 * hour));
}

}  // namespace
}  // namespace zelvo_host
