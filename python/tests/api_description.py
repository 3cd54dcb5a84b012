"""The service's OpenAPI description (host/routes/openapi.json) as a checker of real requests and answers.

`ApiDescription.check_answer` names what is wrong with one answer of the service: its status not
described for its route and method, a body that does not match the answer's schema (JSON Schema
2020-12, Debian's python3-jsonschema), or a header the description requires missing.
`AnswerRecorder` applies it to every answer the tests read through http.client from a service they
started, and keeps the problems for the test that saw them.
"""

from __future__ import annotations

import http.client
import json
import re
import threading
from collections import Counter
from pathlib import Path
from typing import Any, Dict, Iterator, List, Optional, Set, Tuple

from jsonschema import Draft202012Validator

ROOT = Path(__file__).resolve().parents[2]
DESCRIPTION_FILE = ROOT / "host" / "routes" / "openapi.json"
HTTP_METHODS = ("get", "put", "post", "delete", "options", "head", "patch", "trace")

# Answers given before a request reaches a route, or for no route at all: the components that
# describe them, by status. A described route and method answers only what its operation lists.
UNROUTED_ANSWERS = {
    400: "MalformedRequest",
    401: "Unauthorized",
    403: "Forbidden",
    404: "NotFound",
    405: "MethodNotAllowed",
    413: "PayloadTooLarge",
    431: "HeaderTooLarge",
    503: "Busy",
}
JSON = "application/json"
BUSY_MARK = b'"error":"busy"'


def media_type(headers: Dict[str, str]) -> str:
    """The answer's media type, from its Content-Type header (JSON when it has none)."""
    for name, value in headers.items():
        if name.lower() == "content-type":
            return value.split(";", 1)[0].strip().lower()
    return JSON


def load_description(version: str = "0.0.0") -> Dict[str, Any]:
    """The description as the repository holds it, with the version the build writes into it."""
    return json.loads(DESCRIPTION_FILE.read_text(encoding="utf-8").replace("@PROJECT_VERSION@", version))


def escape(key: str) -> str:
    return key.replace("~", "~0").replace("/", "~1")


class ApiDescription:
    def __init__(self, document: Dict[str, Any]):
        self.document = document
        self._validators: Dict[str, Draft202012Validator] = {}
        self._routes = [(re.compile("^" + re.sub(r"\\\{[^}]+\\\}", "[^/]+", re.escape(path)) + "$"), path)
                        for path in document["paths"]]

    # -- the document -----------------------------------------------------

    def node(self, pointer: str) -> Any:
        """The node a local JSON pointer ("#/components/...") names; KeyError when there is none."""
        if not pointer.startswith("#"):
            raise KeyError(f"not a local reference: {pointer}")
        node: Any = self.document
        for part in filter(None, pointer[1:].split("/")):
            part = part.replace("~1", "/").replace("~0", "~")
            node = node[int(part)] if isinstance(node, list) else node[part]
        return node

    def follow(self, pointer: str) -> str:
        """The pointer of the node itself, following a reference object ({"$ref": ...}) there."""
        seen = set()
        while isinstance(self.node(pointer), dict) and "$ref" in self.node(pointer) and pointer not in seen:
            seen.add(pointer)
            pointer = self.node(pointer)["$ref"]
        return pointer

    def references(self) -> Iterator[Tuple[str, str]]:
        """(where, target) of every $ref in the document."""
        def walk(node: Any, pointer: str) -> Iterator[Tuple[str, str]]:
            if isinstance(node, dict):
                for key, value in node.items():
                    if key == "$ref" and isinstance(value, str):
                        yield pointer, value
                    else:
                        yield from walk(value, f"{pointer}/{escape(key)}")
            elif isinstance(node, list):
                for index, value in enumerate(node):
                    yield from walk(value, f"{pointer}/{index}")
        return walk(self.document, "#")

    def operations(self) -> Iterator[Tuple[str, str, Dict[str, Any]]]:
        """(path, METHOD, operation) of every described route."""
        for path, item in self.document["paths"].items():
            for method in HTTP_METHODS:
                if method in item:
                    yield path, method.upper(), item[method]

    def route(self, path: str) -> Optional[str]:
        """The described path (template) that serves a request path, or None."""
        for pattern, template in self._routes:
            if pattern.match(path):
                return template
        return None

    # -- checks -------------------------------------------------------------

    def response_pointer(self, method: str, target: str, status: int) -> str:
        """The pointer of the response object describing this answer; LookupError when none does."""
        path = target.split("?", 1)[0]
        template = self.route(path)
        operation = None
        if template is not None:
            operation = self.document["paths"][template].get(method.lower())
        if operation is not None:
            if str(status) not in operation["responses"]:
                raise LookupError(f"{method} {template} does not describe status {status}")
            pointer = f"#/paths/{escape(template)}/{method.lower()}/responses/{status}"
        elif status in UNROUTED_ANSWERS:
            expected = 404 if template is None else 405
            if status in (404, 405) and status != expected:
                raise LookupError(f"{method} {path} answered {status}; the description says {expected}")
            pointer = f"#/components/responses/{UNROUTED_ANSWERS[status]}"
        else:
            raise LookupError(f"{method} {path} is not described and answered {status}")
        return self.follow(pointer)

    def check_answer(self, method: str, target: str, status: int, headers: Dict[str, str], body: bytes) -> List[str]:
        """What is wrong with one answer (empty when it matches the description)."""
        try:
            if status == 503 and BUSY_MARK in body:
                # Given when the connection is accepted, before any request is read.
                response = self.follow(f"#/components/responses/{UNROUTED_ANSWERS[503]}")
            else:
                response = self.response_pointer(method, target, status)
        except LookupError as error:
            return [str(error)]
        problems = []
        present = {name.lower() for name in headers}
        for name in self.node(response).get("headers", {}):
            header = self.node(self.follow(f"{response}/headers/{escape(name)}"))
            if header.get("required") and name.lower() not in present:
                problems.append(f"{method} {target} {status}: header {name} missing")
        content = self.node(response).get("content", {})
        media = media_type(headers)
        if not content:
            return problems + ([f"{method} {target} {status}: a body where none is described"] if body else [])
        if media not in content:
            return problems + [f"{method} {target} {status}: {media} is not described (only {', '.join(content)})"]
        if media != JSON:
            return problems  # a page's file: its text is not checked here
        try:
            answer = json.loads(body.decode("utf-8"))
        except (UnicodeDecodeError, ValueError):
            return problems + [f"{method} {target} {status}: the body is not JSON: {body[:200]!r}"]
        schema = f"{response}/content/{escape(JSON)}/schema"
        problems += [f"{method} {target} {status}: {problem}" for problem in self.schema_problems(schema, answer)]
        return problems

    def check_request(self, method: str, target: str, body: Any) -> List[str]:
        """What is wrong with a request body the service accepted (empty when it matches)."""
        template = self.route(target.split("?", 1)[0])
        if template is None or "requestBody" not in self.document["paths"][template].get(method.lower(), {}):
            return [f"{method} {target} took a body that is not described"]
        schema = f"#/paths/{escape(template)}/{method.lower()}/requestBody/content/{escape('application/json')}/schema"
        return [f"{method} {target} request: {problem}" for problem in self.schema_problems(schema, body)]

    def schema_problems(self, pointer: str, value: Any) -> List[str]:
        validator = self._validators.get(pointer)
        if validator is None:
            # The whole document is the root, so that "#/components/..." references resolve; its
            # own members (openapi, info, paths, ...) are no JSON Schema keywords.
            validator = Draft202012Validator({**self.document, "$ref": pointer})
            self._validators[pointer] = validator
        return [f"{'/'.join(map(str, error.absolute_path)) or '(answer)'}: {error.message}"
                for error in validator.iter_errors(value)]


class AnswerRecorder:
    """Checks every answer the tests read in full, through http.client, from a service they started.

    Problems are kept until the test that saw them takes them (see conftest.py), so that an answer
    read on another thread fails its test too.
    """

    def __init__(self, description: ApiDescription):
        self.description = description
        self.ports: Set[int] = set()
        self.checked: Counter[Tuple[str, int]] = Counter()
        self._problems: List[str] = []
        self._lock = threading.Lock()

    def take_problems(self) -> List[str]:
        with self._lock:
            problems, self._problems = self._problems, []
        return problems

    def check_event(self, kind: str, data: Any) -> None:
        """Checks one event of the event stream against the schema the description gives its kind."""
        stream = f"#/paths/{escape('/v1/events')}/get/responses/200/content/{escape('text/event-stream')}/x-events"
        if kind not in self.description.node(stream):
            problems = [f"event {kind}: a kind the description does not name"]
        else:
            problems = [f"event {kind}: {problem}" for problem in self.description.schema_problems(f"{stream}/{kind}", data)]
        with self._lock:
            self.checked[(f"event {kind}", 200)] += 1
            self._problems += problems

    def record(self, sent: Tuple[str, str, Any], status: int, headers: Dict[str, str], body: bytes) -> None:
        method, target, request = sent
        problems = self.description.check_answer(method, target, status, headers, body)
        if status == 200 and request is not None:
            problems += self.description.check_request(method, target, request)
        template = self.description.route(target.split("?", 1)[0]) or "(no route)"
        with self._lock:
            self.checked[(f"{method} {template}", status)] += 1
            self._problems += problems

    def install(self) -> None:
        """Wraps http.client's request, getresponse and read."""
        recorder = self
        original_request = http.client.HTTPConnection.request
        original_getresponse = http.client.HTTPConnection.getresponse
        original_read = http.client.HTTPResponse.read

        def request(connection: http.client.HTTPConnection, method: str, url: str, *args: Any, **kwargs: Any) -> None:
            body = args[0] if args else kwargs.get("body")
            parsed = None
            if isinstance(body, (bytes, str)) and body:
                try:
                    parsed = json.loads(body)
                except (ValueError, RecursionError):  # nested deeper than Python reads: no body the service takes
                    parsed = None
            connection._zelvo_sent = (method, url, parsed)  # type: ignore[attr-defined]
            original_request(connection, method, url, *args, **kwargs)

        def getresponse(connection: http.client.HTTPConnection) -> http.client.HTTPResponse:
            response = original_getresponse(connection)
            if connection.host == "127.0.0.1" and connection.port in recorder.ports:
                response._zelvo_sent = getattr(connection, "_zelvo_sent", None)  # type: ignore[attr-defined]
            return response

        def read(response: http.client.HTTPResponse, amt: Optional[int] = None) -> bytes:
            data = original_read(response, amt)
            sent = getattr(response, "_zelvo_sent", None)
            if sent is not None and amt is None:
                response._zelvo_sent = None  # type: ignore[attr-defined]
                recorder.record(sent, response.status, dict(response.getheaders()), data)
            return data

        http.client.HTTPConnection.request = request  # type: ignore[assignment]
        http.client.HTTPConnection.getresponse = getresponse  # type: ignore[assignment]
        http.client.HTTPResponse.read = read  # type: ignore[assignment]

    def summary(self) -> str:
        by_status = Counter()
        for (_, status), count in self.checked.items():
            by_status[status] += count
        statuses = ", ".join(f"{status}: {count}" for status, count in sorted(by_status.items()))
        return (f"answers checked against the service's description: {sum(self.checked.values())} "
                f"over {len(self.checked)} routes and statuses ({statuses})")
