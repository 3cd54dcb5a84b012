// The checks that keep another site from using the operator page's service:
// the Host header, the cookie's parsing, the Origin rule for the cookie's
// requests, and the one-time login code.
#include <gtest/gtest.h>

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
    EXPECT_TRUE(cookieRequestAllowed("POST", "http://127.0.0.1:18766", false, 18766));
    EXPECT_TRUE(cookieRequestAllowed("POST", "", true, 18766));
    EXPECT_TRUE(cookieRequestAllowed("GET", "", false, 18766));
    EXPECT_FALSE(cookieRequestAllowed("POST", "", false, 18766));
    EXPECT_FALSE(cookieRequestAllowed("PUT", "", false, 18766));
    // Another origin is refused even with the page's header, and even to read.
    EXPECT_FALSE(cookieRequestAllowed("POST", "http://127.0.0.1:8000", true, 18766));
    EXPECT_FALSE(cookieRequestAllowed("GET", "http://attacker.example", false, 18766));
    EXPECT_FALSE(cookieRequestAllowed("POST", "null", true, 18766));
}

WebSessions sessions()
{
    auto counter = std::make_shared<int>(0);
    return WebSessions([counter] { return "secret" + std::to_string(++*counter); },
                       [](std::string_view a, std::string_view b) { return a == b; }, 2);
}

TEST(WebSessions, ALoginCodeIsGoodOnceAndOnlyTheNewest)
{
    WebSessions web = sessions();
    EXPECT_EQ(web.exchange(""), "");
    const std::string older = web.newLoginCode();
    const std::string newer = web.newLoginCode();
    EXPECT_EQ(web.exchange(older), "");
    const std::string session = web.exchange(newer);
    EXPECT_FALSE(session.empty());
    EXPECT_TRUE(web.isSession(session));
    EXPECT_EQ(web.exchange(newer), "");
    EXPECT_FALSE(web.isSession(newer));
    EXPECT_FALSE(web.isSession(""));
}

TEST(WebSessions, TheOldestSessionGivesWayBeyondTheBound)
{
    WebSessions web = sessions();
    std::vector<std::string> started;
    for (int index = 0; index < 3; ++index) {
        started.push_back(web.exchange(web.newLoginCode()));
    }
    EXPECT_FALSE(web.isSession(started[0]));
    EXPECT_TRUE(web.isSession(started[1]));
    EXPECT_TRUE(web.isSession(started[2]));
}

}  // namespace
}  // namespace zelvo_host
