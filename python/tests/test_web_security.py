"""The guards of a service a browser can reach: the Host header must be the service's own address (DNS
rebinding), the operator page signs in once with the code of the address zelvo-load prints and gets a
cookie, a cookie's request that changes something must come from the page (Origin, or the page's own
header), and the connections open at once are bounded."""

import re
import select
import socket
import time
from typing import Dict, Optional

import pytest

from conftest import raw_request, token_of
from event_listener import wait_until

SESSION_COOKIE = re.compile(r"^(zelvo_session_[0-9]+)=([0-9a-f]{64}); Path=/; HttpOnly; SameSite=Strict$")


def sign_in(service) -> str:
    """Signs in as the page does: a new login address, then its code for a cookie ("name=value")."""
    url = service.client().login_link()
    assert url.startswith(f"http://127.0.0.1:{service.port}/login?code=")
    status, headers, _ = raw_request(service, "GET", url[len(f"http://127.0.0.1:{service.port}"):], None)
    assert status == 303 and headers["Location"] == "/"
    cookie = SESSION_COOKIE.match(headers["Set-Cookie"])
    assert cookie, headers["Set-Cookie"]
    return f"{cookie.group(1)}={cookie.group(2)}"


def with_cookie(service, cookie: str, method: str, path: str, body: Optional[bytes] = None,
                headers: Optional[Dict[str, str]] = None):
    return raw_request(service, method, path, body, {"Cookie": cookie, **(headers or {})})


@pytest.fixture(scope="module")
def cookie(desk) -> str:
    return sign_in(desk.service)


class TestHost:
    @pytest.mark.parametrize("host", ["attacker.example:{port}", "localhost:{port}", "127.0.0.1", "127.0.0.1:1",
                                      "127.0.0.1:{port}.attacker.example", ""])
    def test_a_request_for_another_host_is_refused_whatever_its_credentials(self, desk, host):
        status, _, answer = raw_request(desk.service, "GET", "/v1/status", None,
                                        {"Host": host.format(port=desk.service.port)}, token_of(desk.service))
        assert (status, answer["error"]) == (403, "wrong_host")

    def test_the_page_itself_is_refused_for_another_host(self, desk):
        status, _, answer = raw_request(desk.service, "GET", "/", None, {"Host": "attacker.example"})
        assert (status, answer["error"]) == (403, "wrong_host")


class TestSignIn:
    def test_without_credentials_only_the_page_and_its_files_are_served(self, desk):
        for path in ("/", "/page.css", "/page.js"):
            status, headers, text = raw_request(desk.service, "GET", path, None)
            assert status == 200 and text
            assert "frame-ancestors 'none'" in headers["Content-Security-Policy"]
        for method, path in (("GET", "/v1/status"), ("GET", "/v1/events"), ("POST", "/v1/halt"), ("POST", "/v1/login-link")):
            status, headers, answer = raw_request(desk.service, method, path, b"{}" if method == "POST" else None)
            assert (status, answer["error"]) == (401, "unauthorized"), path
        assert desk.api().status()["halt"]["halted"] is False

    def test_a_login_code_is_good_once_and_only_the_newest(self, desk):
        api = desk.api()
        older, newer = api.login_link(), api.login_link()
        base = f"http://127.0.0.1:{desk.service.port}"
        assert raw_request(desk.service, "GET", older[len(base):], None)[0] == 403
        status, headers, _ = raw_request(desk.service, "GET", newer[len(base):], None)
        assert status == 303 and "Set-Cookie" in headers
        status, _, page = raw_request(desk.service, "GET", newer[len(base):], None)
        assert status == 403 and "zelvo-load" in page
        assert raw_request(desk.service, "GET", "/login?code=" + "0" * 64, None)[0] == 403
        assert raw_request(desk.service, "GET", "/login", None)[0] == 403

    def test_the_cookie_reads_and_a_made_up_one_does_not(self, desk, cookie):
        status, _, answer = with_cookie(desk.service, cookie, "GET", "/v1/status")
        assert status == 200 and answer["ok"]
        name = cookie.split("=")[0]
        assert with_cookie(desk.service, f"{name}={'0' * 64}", "GET", "/v1/status")[0] == 401
        # The bearer token is never taken from a cookie.
        assert with_cookie(desk.service, f"{name}={token_of(desk.service)}", "GET", "/v1/status")[0] == 401


class TestCrossOrigin:
    def test_a_cookie_post_from_another_origin_or_without_proof_is_refused(self, desk, cookie):
        port = desk.service.port
        for headers in ({"Origin": "http://127.0.0.1:8000"}, {"Origin": "http://attacker.example"},
                        {"Origin": "null"}, {"Origin": f"http://127.0.0.1:{port}.attacker.example", "X-Zelvo-Page": "1"},
                        {}):
            status, _, answer = with_cookie(desk.service, cookie, "POST", "/v1/halt", b"{}", headers)
            assert (status, answer["error"]) == (403, "cross_origin"), headers
        assert desk.api().status()["halt"]["halted"] is False

    def test_a_cookie_post_from_the_page_is_taken(self, desk, cookie):
        port = desk.service.port
        for headers in ({"Origin": f"http://127.0.0.1:{port}"}, {"X-Zelvo-Page": "1"}):
            status, _, answer = with_cookie(desk.service, cookie, "POST", "/v1/halt", b"{}", headers)
            assert status == 200 and answer["halt"]["halted"], headers
            assert with_cookie(desk.service, cookie, "POST", "/v1/resume", b"{}", headers)[0] == 200

    def test_a_cookie_read_from_another_origin_is_refused_too(self, desk, cookie):
        status, _, answer = with_cookie(desk.service, cookie, "GET", "/v1/orders", None, {"Origin": "http://127.0.0.1:8000"})
        assert (status, answer["error"]) == (403, "cross_origin")

    def test_the_bearer_token_needs_no_origin(self, desk):
        status, _, _ = raw_request(desk.service, "POST", "/v1/resume", b"{}", {"Origin": "http://127.0.0.1:8000"},
                                   token_of(desk.service))
        assert status == 200


class TestConnections:
    def test_connections_beyond_the_bound_are_answered_busy_and_the_service_goes_on(self, desk):
        held = [socket.create_connection(("127.0.0.1", desk.service.port), timeout=30) for _ in range(40)]
        try:
            # The service reads nothing from the first ones (they send nothing) and answers the others at once.
            answered = []
            deadline = time.monotonic() + 5
            while time.monotonic() < deadline and len(answered) < 8:
                readable, _, _ = select.select([c for c in held if c not in answered], [], [], 0.5)
                answered += readable
            assert 8 <= len(answered) <= 40 - 30, len(answered)
            for connection in answered:
                reply = connection.recv(4096)
                assert reply.startswith(b"HTTP/1.1 503") and b'"error":"busy"' in reply, reply
            assert held.index(answered[0]) >= 30
        finally:
            for connection in held:
                connection.close()
        wait_until(lambda: raw_request(desk.service, "GET", "/v1/status", None, None, token_of(desk.service))[0] == 200,
                   what="the service serving again")
