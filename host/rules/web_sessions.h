// The operator page's sign-in: a login code, good for one exchange within
// ten minutes of being made, that the loader prints in the page's address
// (as a URL), and the sessions the exchanges started, each the secret of one
// browser's cookie, good for twelve hours. Only the code made last is good;
// a new session pushes out the oldest beyond a few. The secrets come from
// `draw` (the system's random source); they are compared in constant time
// by `equal`. Times are the caller's steady clock, in ms. No Windows header.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

namespace zelvo_host {

class WebSessions {
public:
    using Draw = std::function<std::string()>;
    using Equal = std::function<bool(std::string_view, std::string_view)>;

    static constexpr std::int64_t codeLifeMs = 10 * 60 * 1000;
    static constexpr std::int64_t sessionLifeMs = 12 * 60 * 60 * 1000;

    WebSessions(Draw draw, Equal equal, std::size_t maxSessions = 8);

    // A new login code; the one before is no longer good. Empty when the
    // random source failed.
    [[nodiscard]] std::string newLoginCode(std::int64_t nowMs);
    // Spends the code and starts a session: its secret, or empty text when
    // the code is not the good one (or was spent, or is too old).
    [[nodiscard]] std::string exchange(std::string_view code, std::int64_t nowMs);
    // True for the secret of a session started less than twelve hours ago.
    [[nodiscard]] bool isSession(std::string_view secret, std::int64_t nowMs) const;

private:
    struct Session {
        std::string secret;
        std::int64_t startedMs = 0;
    };

    Draw draw_;
    Equal equal_;
    std::size_t maxSessions_;
    std::string loginCode_;
    std::int64_t codeMadeMs_ = 0;
    std::deque<Session> sessions_;
};

}  // namespace zelvo_host
