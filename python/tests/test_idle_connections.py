"""Connections cannot lock the service's callers out: one that has not sent a whole request within 10 s of
opening is closed whatever else the service does meanwhile (here a listener's polls every 0.2 s, each of
which used to grant the others more time), and at the bound of 32 connections the one kept open longest for
a next request makes room for a new one."""

import http.client
import select
import socket
import time

from conftest import raw_request, token_of
from event_listener import Listener, events_state, wait_until

DESK_LOADER_OPTIONS = ("--poll-seconds", "0.2")
BOUND = 32
READ_SECONDS = 10


def closed_by_peer(connection: socket.socket) -> bool:
    try:
        return connection.recv(4096) == b""
    except ConnectionResetError:
        return True


def test_requests_never_completed_are_closed_in_time_while_the_service_polls(desk):
    listener = Listener(desk.service)
    held = []
    try:
        wait_until(lambda: events_state(desk.api())["listeners"] == 1, what="the listener")
        host = f"Host: 127.0.0.1:{desk.service.port}\r\n".encode()
        opened = time.monotonic()
        held = [socket.create_connection(("127.0.0.1", desk.service.port), timeout=30) for _ in range(BOUND - 1)]
        for connection in held:
            connection.sendall(b"GET /v1/status HTTP/1.1\r\n" + host)
        status, _, answer = raw_request(desk.service, "GET", "/v1/status", None, None, token_of(desk.service))
        assert (status, answer["error"]) == (503, "busy")
        # A header line every second keeps each request going, never ending it.
        closed = {}
        while len(closed) < len(held) and time.monotonic() - opened < READ_SECONDS + 8:
            readable, _, _ = select.select([c for c in held if c not in closed], [], [], 1.0)
            for connection in readable:
                if closed_by_peer(connection):
                    closed[connection] = time.monotonic() - opened
            for connection in held:
                if connection not in closed:
                    try:
                        connection.sendall(b"X-Slow: 1\r\n")
                    except OSError:
                        closed[connection] = time.monotonic() - opened
        assert len(closed) == len(held), f"{len(held) - len(closed)} connections still open after {READ_SECONDS + 8} s"
        assert max(closed.values()) < READ_SECONDS + 3, sorted(closed.values())
        assert events_state(desk.api())["polls"] > 0
        assert not listener.ended.is_set()
    finally:
        for connection in held:
            connection.close()
        listener.close()


def test_at_the_bound_the_connection_idle_longest_makes_room_for_a_new_one(desk):
    wait_until(lambda: events_state(desk.api())["listeners"] == 0, what="no listener")
    headers = {"Authorization": f"Bearer {token_of(desk.service)}"}
    kept = []
    try:
        for _ in range(BOUND):
            connection = http.client.HTTPConnection("127.0.0.1", desk.service.port, timeout=30)
            connection.request("GET", "/v1/limits", headers=headers)
            response = connection.getresponse()
            assert response.status == 200
            response.read()
            kept.append(connection)
        status, _, answer = raw_request(desk.service, "GET", "/v1/status", None, None, token_of(desk.service))
        assert status == 200, answer
        assert closed_by_peer(kept[0].sock)
        kept[1].request("GET", "/v1/limits", headers=headers)
        assert kept[1].getresponse().status == 200
    finally:
        for connection in kept:
            connection.close()
