// The operator page (GET /): plain HTML, CSS and JavaScript from host/page/,
// embedded at build time (cmake/embed_text.cmake), served with headers that
// let it load nothing but its own files and never be framed by another site;
// and the exchange of the login code in its address for a session cookie.
#pragma once
#include <string_view>

#include "http/http_types.h"
#include "service_context.h"

namespace zelvo_host {

[[nodiscard]] std::string_view pageHtml();
[[nodiscard]] std::string_view pageCss();
[[nodiscard]] std::string_view pageJs();

enum class PageFile { Html, Css, Js };

// One of the page's files, with the headers that confine it.
[[nodiscard]] HttpReply pageFile(PageFile file);

// GET /login?code=...: spends the login code for a session cookie and sends
// the browser on to the page, whose address then holds no code; 403 with a
// page that says what to do when the code is not good.
[[nodiscard]] HttpReply exchangeLoginCode(ServiceContext& context, std::string_view target);

// The address that signs a browser in, with a new login code (the one before
// is spent); empty when no code could be made.
[[nodiscard]] std::string newLoginLink(ServiceContext& context);

}  // namespace zelvo_host
