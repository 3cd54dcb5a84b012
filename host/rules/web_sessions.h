// The operator page's sign-in: a login code, good for one exchange, that
// the loader prints in the page's address (as a URL), and the sessions the
// exchanges started, each the secret of one browser's cookie. Only the code
// made last is good; a new session pushes out the oldest beyond a few. The
// secrets come from `draw` (the system's random source); they are compared
// in constant time by `equal`. No Windows header.
#pragma once
#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

namespace zelvo_host {

class WebSessions {
public:
    using Draw = std::function<std::string()>;
    using Equal = std::function<bool(std::string_view, std::string_view)>;

    WebSessions(Draw draw, Equal equal, std::size_t maxSessions = 8);

    // A new login code; the one before is no longer good. Empty when the
    // random source failed.
    [[nodiscard]] std::string newLoginCode();
    // Spends the code and starts a session: its secret, or empty text when
    // the code is not the good one (or was spent).
    [[nodiscard]] std::string exchange(std::string_view code);
    [[nodiscard]] bool isSession(std::string_view secret) const;

private:
    Draw draw_;
    Equal equal_;
    std::size_t maxSessions_;
    std::string loginCode_;
    std::deque<std::string> sessions_;
};

}  // namespace zelvo_host
