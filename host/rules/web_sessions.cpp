#include "rules/web_sessions.h"

#include <algorithm>

namespace zelvo_host {

WebSessions::WebSessions(Draw draw, Equal equal, std::size_t maxSessions)
    : draw_(std::move(draw)), equal_(std::move(equal)), maxSessions_(maxSessions == 0 ? 1 : maxSessions)
{
}

std::string WebSessions::newLoginCode(std::int64_t nowMs)
{
    loginCode_ = draw_();
    codeMadeMs_ = nowMs;
    return loginCode_;
}

std::string WebSessions::exchange(std::string_view code, std::int64_t nowMs)
{
    if (loginCode_.empty() || code.empty() || !equal_(loginCode_, code)) {
        return {};
    }
    loginCode_.clear();
    if (nowMs - codeMadeMs_ >= codeLifeMs) {
        return {};
    }
    std::string secret = draw_();
    if (secret.empty()) {
        return {};
    }
    sessions_.erase(std::remove_if(sessions_.begin(), sessions_.end(),
                                   [nowMs](const Session& session) { return nowMs - session.startedMs >= sessionLifeMs; }),
                    sessions_.end());
    if (sessions_.size() == maxSessions_) {
        sessions_.pop_front();
    }
    sessions_.push_back({secret, nowMs});
    return secret;
}

bool WebSessions::isSession(std::string_view secret, std::int64_t nowMs) const
{
    bool found = false;
    for (const Session& session : sessions_) {
        // Every one compared: the time tells nothing.
        found = (equal_(session.secret, secret) && nowMs - session.startedMs < sessionLifeMs) || found;
    }
    return !secret.empty() && found;
}

}  // namespace zelvo_host
