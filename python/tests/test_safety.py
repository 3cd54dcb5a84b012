"""The service's guards: the token, body and header limits, malformed requests, concurrency."""

import http.client
import json
import socket
import stat
import threading
import time

import pytest

import zelvo
from conftest import raw_request, token_of


# An order whose code no test places, so that any ticket of it is a fault.
REFUSED_CODE = "640001"
ORDER = json.dumps({"kind": "buy", "code": REFUSED_CODE, "price": 10.5, "quantity": 100}).encode()


class TestToken:
    def test_token_is_long_random_hex(self, service):
        token = token_of(service)
        assert len(token) == 64 and int(token, 16) >= 0

    def test_token_file_is_closed_to_other_users(self, service):
        assert service.token_file.stat().st_mode & stat.S_IRWXO == 0

    @pytest.mark.parametrize("authorization", [None, "Bearer ", "Bearer wrong", "Basic abc"])
    def test_order_without_the_token_is_refused_and_nothing_happens(self, service, authorization):
        before_journal = len(service.journal_lines())
        headers = {} if authorization is None else {"Authorization": authorization}
        status, reply_headers, body = raw_request(service, "POST", "/v1/orders", ORDER, headers)
        assert status == 401 and body["error"] == "unauthorized"
        assert reply_headers.get("WWW-Authenticate") == "Bearer"
        assert len(service.journal_lines()) == before_journal
        assert service.client_process.tickets(REFUSED_CODE, at_least=1, bound=0.5) == []

    @pytest.mark.parametrize("change", ["last character", "one character more", "one character less", "upper case"])
    def test_a_token_differing_anywhere_is_refused(self, service, change):
        token = token_of(service)
        wrong = {"last character": token[:-1] + ("0" if token[-1] != "0" else "1"),
                 "one character more": token + "0", "one character less": token[:-1],
                 "upper case": token.upper() if token.upper() != token else token + "x"}[change]
        status, _, _ = raw_request(service, "GET", "/v1/status", token=wrong)
        assert status == 401

    def test_the_python_client_raises_on_a_wrong_token(self, service):
        with pytest.raises(zelvo.RequestRejected) as rejected:
            zelvo.Client(service.address, token="0" * 64).status()
        assert rejected.value.status == 401

    def test_scheme_is_case_insensitive(self, service):
        status, _, _ = raw_request(service, "GET", "/v1/status", headers={"Authorization": "bearer " + token_of(service)})
        assert status == 200


class TestMalformedRequests:
    def test_body_over_64_kib_is_refused_and_nothing_happens(self, service):
        before_journal = len(service.journal_lines())
        padded = json.dumps({"kind": "buy", "code": REFUSED_CODE, "price": 10.5, "quantity": 100,
                             "order_id": "x" * (70 * 1024)}).encode()
        status, _, body = raw_request(service, "POST", "/v1/orders", padded, token=token_of(service))
        assert status == 413 and body["error"] == "payload_too_large"
        assert len(service.journal_lines()) == before_journal
        assert service.client_process.tickets(REFUSED_CODE, at_least=1, bound=0.5) == []
        assert service.client().status()["attached"]

    def test_chunked_body_over_64_kib_is_refused(self, service):
        connection = http.client.HTTPConnection("127.0.0.1", service.port, timeout=30)
        chunks = (b"x" * 8192 for _ in range(10))
        connection.request("POST", "/v1/orders", body=chunks, encode_chunked=True,
                           headers={"Authorization": "Bearer " + token_of(service)})
        assert connection.getresponse().status == 413
        connection.close()

    @pytest.mark.parametrize("body", [b"{", b"[1, 2]", b"\"text\"", b"{\"kind\": \"buy\",}", b"\xff\xfe{}"])
    def test_body_that_is_no_json_object_is_refused(self, service, body):
        before_journal = len(service.journal_lines())
        status, _, reply = raw_request(service, "POST", "/v1/orders", body, token=token_of(service))
        assert status == 400 and reply["error"] == "bad_json"
        assert len(service.journal_lines()) == before_journal

    @pytest.mark.parametrize("method, path", [("GET", "/v1/nothing"), ("GET", "/v2/status"), ("GET", "/v1"),
                                              ("POST", "/v1/status/extra"), ("GET", "/v1/query/")])
    def test_unknown_route_is_not_found(self, service, method, path):
        status, _, reply = raw_request(service, method, path, token=token_of(service))
        assert status == 404 and reply["ok"] is False

    @pytest.mark.parametrize("method, path, allowed", [("GET", "/v1/cancel-after", "POST"), ("DELETE", "/v1/cancel", "POST"),
                                                       ("POST", "/v1/status", "GET"), ("PUT", "/v1/query/funds", "GET"),
                                                       ("DELETE", "/v1/orders", "POST, GET"),
                                                       ("POST", "/v1/limits", "GET, PUT")])
    def test_wrong_method_is_refused_with_the_allowed_one(self, service, method, path, allowed):
        status, headers, reply = raw_request(service, method, path, token=token_of(service))
        assert status == 405 and reply["error"] == "method_not_allowed"
        assert headers["Allow"] == allowed

    def test_malformed_http_gets_a_json_error_and_the_service_goes_on(self, service):
        with socket.create_connection(("127.0.0.1", service.port), timeout=10) as raw:
            raw.sendall(b"NOT HTTP AT ALL\r\n\r\n")
            answer = raw.recv(4096)
        assert answer.startswith(b"HTTP/1.1 400")
        assert b'"error":"bad_request"' in answer
        assert service.client().status()["ok"]

    def test_oversized_header_is_refused(self, service):
        status, _, _ = raw_request(service, "GET", "/v1/status", headers={"X-Padding": "p" * 20000},
                                   token=token_of(service))
        assert status == 431


class TestConnections:
    def test_twenty_concurrent_clients_are_all_served(self, service):
        outcomes, errors = [], []

        def work(index):
            try:
                client = service.client()
                status = client.status()
                positions = client.query("positions")
                placed = client.buy("650001", 10.0 + index / 100, 100, order_id=f"concurrent-{index}")
                outcomes.append((status["attached"], positions.columns[0], placed.contract))
            except Exception as error:  # reported below with its thread's index
                errors.append((index, error))

        threads = [threading.Thread(target=work, args=(index,)) for index in range(20)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join(timeout=120)
        assert not errors
        assert len(outcomes) == 20
        assert all(attached and column == "证券代码" for attached, column, _ in outcomes)
        assert len({contract for _, _, contract in outcomes}) == 20
        tickets = service.client_process.tickets("650001", at_least=20)
        assert sorted(ticket[2] for ticket in tickets) == [f"{10 + index / 100:.2f}" for index in range(20)]

    def test_a_silent_connection_does_not_hold_up_others(self, service):
        with socket.create_connection(("127.0.0.1", service.port), timeout=10) as silent:
            silent.sendall(b"GET /v1/status HTTP/1.1\r\nHost: x\r\n")  # never finished
            started = time.monotonic()
            assert service.client().status()["ok"]
            assert time.monotonic() - started < 5

    def test_keep_alive_connection_serves_several_requests(self, service):
        connection = http.client.HTTPConnection("127.0.0.1", service.port, timeout=30)
        headers = {"Authorization": "Bearer " + token_of(service)}
        for _ in range(3):
            connection.request("GET", "/v1/status", headers=headers)
            response = connection.getresponse()
            assert response.status == 200
            response.read()
        connection.close()

    def test_each_answer_reports_the_time_spent_in_the_library(self, service):
        _, headers, _ = raw_request(service, "GET", "/v1/query/positions", token=token_of(service))
        name, _, duration = headers["Server-Timing"].partition(";dur=")
        assert name == "export" and float(duration) > 0
