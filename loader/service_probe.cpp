#include "service_probe.h"

#include <chrono>

#include <nlohmann/json.hpp>

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>

#include "host_protocol.h"

namespace zelvo_load {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

using ExclusiveAddressUse = asio::detail::socket_option::boolean<SOL_SOCKET, SO_EXCLUSIVEADDRUSE>;
constexpr auto attemptBound = std::chrono::seconds(3);
constexpr DWORD retryPauseMs = 100;

[[nodiscard]] tcp::endpoint serviceEndpoint(std::uint16_t port)
{
    return {asio::ip::make_address_v4(zelvo_host::listenAddress), port};
}

struct Answer {
    unsigned status = 0;  // 0: no answer
    std::string body;
};

// One request, all of it bounded by `attemptBound`.
[[nodiscard]] Answer ask(std::uint16_t port, const std::string& token, http::verb method, const char* target)
{
    asio::io_context io;
    tcp::socket socket(io);
    beast::flat_buffer buffer;
    http::request<http::string_body> request{method, target, 11};
    // The service answers only requests for its own address and port.
    request.set(http::field::host, std::string(zelvo_host::listenAddress) + ":" + std::to_string(port));
    request.set(http::field::authorization, "Bearer " + token);
    if (method == http::verb::post) {
        request.set(http::field::content_type, "application/json");
        request.body() = "{}";
    }
    request.prepare_payload();
    http::response<http::string_body> response;
    Answer answer;
    socket.async_connect(serviceEndpoint(port), [&](beast::error_code ec) {
        if (ec) {
            return;
        }
        http::async_write(socket, request, [&](beast::error_code written, std::size_t) {
            if (written) {
                return;
            }
            http::async_read(socket, buffer, response, [&](beast::error_code read, std::size_t) {
                if (!read) {
                    answer = {response.result_int(), response.body()};
                }
            });
        });
    });
    io.run_for(attemptBound);
    return answer;
}

}  // namespace

bool portIsFree(std::uint16_t port)
{
    asio::io_context io;
    tcp::acceptor acceptor(io);
    beast::error_code ec;
    acceptor.open(tcp::v4(), ec);
    acceptor.set_option(ExclusiveAddressUse(true), ec);
    acceptor.bind(serviceEndpoint(port), ec);
    return !ec;
}

bool statusAnswers(std::uint16_t port, const std::string& token, unsigned boundMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    do {
        if (ask(port, token, http::verb::get, "/v1/status").status == 200) {
            return true;
        }
        Sleep(retryPauseMs);
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

std::string loginLink(std::uint16_t port, const std::string& token)
{
    const Answer answer = ask(port, token, http::verb::post, "/v1/login-link");
    const nlohmann::json link = nlohmann::json::parse(answer.body, nullptr, false);
    if (answer.status != 200 || !link.is_object() || !link.contains("url") || !link["url"].is_string()) {
        return {};
    }
    return link["url"].get<std::string>();
}

}  // namespace zelvo_load
