"""What the operator page's cookie stands for: what the page does (the status, the order records, the limits
read, the queries, the event stream, halt and resume) and nothing else, which takes the bearer token (403
token_required, nothing done); and a browser's request of another site, which says so in Sec-Fetch-Site even
where it sends no Origin (an <img> of a page on another port), is refused whatever it asks. The lifetimes of
the sign-in code and of the session are the rules' tests (tests/host)."""

import json

import pytest

from conftest import raw_request, token_of
from test_web_security import sign_in, with_cookie

PAGE = {"X-Zelvo-Page": "1"}


@pytest.fixture(scope="module")
def cookie(desk) -> str:
    return sign_in(desk.service)


@pytest.mark.parametrize("method, path, body", [
    ("POST", "/v1/orders", {"kind": "buy", "code": "695001", "price": 10.0, "quantity": 100, "order_id": "by-cookie"}),
    ("POST", "/v1/cancel", {"number": 901}),
    ("POST", "/v1/cancel-all", {}),
    ("PUT", "/v1/limits", {"max_orders_per_day": 100000000}),
    ("POST", "/v1/cancel-after", {"seconds": 0}),
    ("POST", "/v1/login-link", {}),
    ("POST", "/v1/login", {}),
    ("POST", "/v1/logout", {}),
    ("POST", "/v1/orders/by-cookie/reconcile", {}),
    ("GET", "/v1/openapi.json", None),
])
def test_the_cookie_does_not_stand_for_the_token(desk, cookie, method, path, body):
    journal = len(desk.journal.read_text(encoding="utf-8").splitlines())
    limits = desk.api().limits().limits
    data = None if body is None else json.dumps(body).encode()
    status, _, answer = with_cookie(desk.service, cookie, method, path, data, PAGE)
    assert (status, answer["error"]) == (403, "token_required")
    assert len(desk.journal.read_text(encoding="utf-8").splitlines()) == journal
    assert desk.tickets("695001", at_least=1, bound=0.2) == [] and desk.cancels(bound=0.1) == []
    assert desk.api().limits().limits == limits
    assert desk.api().status()["attached"]


def test_what_the_page_does_the_cookie_still_does(desk, cookie):
    for path in ("/v1/status", "/v1/orders", "/v1/limits", "/v1/query/positions", "/v1/orders/no-such-order"):
        status, _, _ = with_cookie(desk.service, cookie, "GET", path, None, PAGE)
        assert status in (200, 404), path
    assert with_cookie(desk.service, cookie, "POST", "/v1/halt", b"{}", PAGE)[0] == 200
    assert with_cookie(desk.service, cookie, "POST", "/v1/resume", b"{}", PAGE)[0] == 200


@pytest.mark.parametrize("site", ["same-site", "cross-site", "none"])
def test_a_browser_request_of_another_site_is_refused_even_to_read(desk, cookie, site):
    for method, path, body in (("GET", "/v1/status", None), ("GET", "/v1/query/positions", None),
                               ("POST", "/v1/halt", b"{}")):
        status, _, answer = with_cookie(desk.service, cookie, method, path, body, {"Sec-Fetch-Site": site, **PAGE})
        assert (status, answer["error"]) == (403, "cross_origin"), (method, path)
    assert desk.api().status()["halt"]["halted"] is False
    assert with_cookie(desk.service, cookie, "GET", "/v1/status", None, {"Sec-Fetch-Site": "same-origin"})[0] == 200
    # Programs use the token, whatever a header says.
    status, _, _ = raw_request(desk.service, "GET", "/v1/status", None, {"Sec-Fetch-Site": site}, token_of(desk.service))
    assert status == 200
