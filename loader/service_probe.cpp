#include "service_probe.h"

#include <chrono>

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

// One request, all of it bounded by `attemptBound`; the status code, or 0.
[[nodiscard]] unsigned askStatus(std::uint16_t port, const std::string& token)
{
    asio::io_context io;
    tcp::socket socket(io);
    beast::flat_buffer buffer;
    http::request<http::empty_body> request{http::verb::get, "/v1/status", 11};
    request.set(http::field::host, zelvo_host::listenAddress);
    request.set(http::field::authorization, "Bearer " + token);
    http::response<http::string_body> response;
    unsigned status = 0;
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
                    status = response.result_int();
                }
            });
        });
    });
    io.run_for(attemptBound);
    return status;
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
        if (askStatus(port, token) == 200) {
            return true;
        }
        Sleep(retryPauseMs);
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

}  // namespace zelvo_load
