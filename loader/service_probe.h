// The loader's network calls: is the port free before it loads anything,
// does the started service answer its status route, and the operator page's
// sign-in address it makes.
#pragma once
#include <cstdint>
#include <string>

namespace zelvo_load {

// True when 127.0.0.1:`port` can be bound exclusively right now.
[[nodiscard]] bool portIsFree(std::uint16_t port);

// GET /v1/status with the token, retried until it answers 200 or
// `boundMs` has passed. True on a 200 answer.
[[nodiscard]] bool statusAnswers(std::uint16_t port, const std::string& token, unsigned boundMs);

// POST /v1/login-link with the token: the one-time address that signs a
// browser in to the operator page; empty when the service gave none.
[[nodiscard]] std::string loginLink(std::uint16_t port, const std::string& token);

}  // namespace zelvo_load
