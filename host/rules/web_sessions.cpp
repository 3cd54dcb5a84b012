#include "rules/web_sessions.h"

namespace zelvo_host {

WebSessions::WebSessions(Draw draw, Equal equal, std::size_t maxSessions)
    : draw_(std::move(draw)), equal_(std::move(equal)), maxSessions_(maxSessions == 0 ? 1 : maxSessions)
{
}

std::string WebSessions::newLoginCode()
{
    loginCode_ = draw_();
    return loginCode_;
}

std::string WebSessions::exchange(std::string_view code)
{
    if (loginCode_.empty() || code.empty() || !equal_(loginCode_, code)) {
        return {};
    }
    loginCode_.clear();
    std::string session = draw_();
    if (session.empty()) {
        return {};
    }
    if (sessions_.size() == maxSessions_) {
        sessions_.pop_front();
    }
    sessions_.push_back(session);
    return session;
}

bool WebSessions::isSession(std::string_view secret) const
{
    bool found = false;
    for (const std::string& session : sessions_) {
        found = equal_(session, secret) || found;  // every one compared: the time tells nothing
    }
    return !secret.empty() && found;
}

}  // namespace zelvo_host
