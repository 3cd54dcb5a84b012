// The loader's two network checks: is the port free before it loads
// anything, and does the started service answer its status route.
#pragma once
#include <cstdint>
#include <string>

namespace zelvo_load {

// True when 127.0.0.1:`port` can be bound exclusively right now.
[[nodiscard]] bool portIsFree(std::uint16_t port);

// GET /v1/status with the token, retried until it answers 200 or
// `boundMs` has passed. True on a 200 answer.
[[nodiscard]] bool statusAnswers(std::uint16_t port, const std::string& token, unsigned boundMs);

}  // namespace zelvo_load
