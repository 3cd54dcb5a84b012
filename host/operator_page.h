// The operator page (GET /): plain HTML, CSS and JavaScript from host/page/,
// embedded at build time (cmake/embed_text.cmake), served with headers that
// let it load nothing but its own files and never be framed by another site;
// and the exchange of the login code in its address for a session cookie.
#pragma once
#include <optional>
#include <string_view>

#include "http_types.h"
#include "service_context.h"

namespace zelvo_host {

[[nodiscard]] std::string_view pageHtml();
[[nodiscard]] std::string_view pageCss();
[[nodiscard]] std::string_view pageJs();

// The answer to a request for the page, its files or its login address,
// which need no credentials; none for any other path.
[[nodiscard]] std::optional<HttpReply> pageRequest(ServiceContext& context, const HttpRequest& request, std::string_view path);

// The address that signs a browser in, with a new login code (the one before
// is spent); empty when no code could be made.
[[nodiscard]] std::string newLoginLink(ServiceContext& context);

}  // namespace zelvo_host
