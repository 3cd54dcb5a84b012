// The service's description in OpenAPI 3.1 (GET /v1/openapi.json): the text
// of routes/openapi.json, embedded at build time with the project's version as
// its info.version (cmake/embed_text.cmake).
#pragma once
#include <string_view>

namespace zelvo_host {

[[nodiscard]] std::string_view openapiDocument();

}  // namespace zelvo_host
