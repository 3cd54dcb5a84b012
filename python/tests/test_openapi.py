"""The service's description (host/routes/openapi.json, served at GET /v1/openapi.json): a well-formed
OpenAPI 3.1 document whose schemas are JSON Schema 2020-12, which describes every route the service
serves and nothing else, and whose checker (api_description.py) catches answers that differ from it."""

import json
import re
import socket

import pytest
from jsonschema import Draft202012Validator
from jsonschema.exceptions import SchemaError

import zelvo
from api_description import HTTP_METHODS, ROOT, UNROUTED_ANSWERS, ApiDescription, escape, load_description
from conftest import ANSWERS, raw_request, token_of

DESCRIPTION = ApiDescription(load_description())
DOCUMENT = DESCRIPTION.document

# The members each object of an OpenAPI 3.1 document may have (besides "x-" extensions).
MEMBERS = {
    "document": {"openapi", "info", "jsonSchemaDialect", "servers", "paths", "webhooks", "components", "security",
                 "tags", "externalDocs"},
    "info": {"title", "summary", "description", "termsOfService", "contact", "license", "version"},
    "path item": {"summary", "description", "servers", "parameters", *HTTP_METHODS},
    "operation": {"tags", "summary", "description", "externalDocs", "operationId", "parameters", "requestBody",
                  "responses", "callbacks", "deprecated", "security", "servers"},
    "parameter": {"name", "in", "description", "required", "deprecated", "allowEmptyValue", "schema", "content",
                  "style", "explode", "allowReserved", "example", "examples"},
    "request body": {"description", "content", "required"},
    "response": {"description", "headers", "content", "links"},
    "media type": {"schema", "example", "examples", "encoding"},
    "header": {"description", "required", "deprecated", "schema", "content", "style", "explode", "example", "examples"},
    "components": {"schemas", "responses", "parameters", "examples", "requestBodies", "headers", "securitySchemes",
                   "links", "callbacks", "pathItems"},
}


def unknown_members(kind, node, where):
    return [f"{where}: {kind} has no member {key!r}" for key in node if key not in MEMBERS[kind] and not key.startswith("x-")]


def resolved(pointer):
    return DESCRIPTION.node(DESCRIPTION.follow(pointer))


# What the service answers besides JSON: the operator page's files and the event stream.
OTHER_MEDIA = {"text/html", "text/css", "text/javascript", "text/event-stream"}


def media_problems(pointer):
    problems = []
    for media, entry in resolved(pointer).get("content", {}).items():
        problems += unknown_members("media type", entry, f"{pointer}/content/{media}")
        if (media != "application/json" and media not in OTHER_MEDIA) or "schema" not in entry:
            problems.append(f"{pointer}: content is not JSON or a page's file, with a schema")
    return problems


def operation_problems(path, method, operation):
    where = f"#/paths/{escape(path)}/{method.lower()}"
    problems = unknown_members("operation", operation, where)
    declared = set()
    for index, _ in enumerate(operation.get("parameters", [])):
        parameter = resolved(f"{where}/parameters/{index}")
        problems += unknown_members("parameter", parameter, f"{where}/parameters/{index}")
        if parameter.get("in") not in ("query", "header", "path", "cookie") or ("schema" in parameter) == ("content" in parameter):
            problems.append(f"{where}: parameter {index} lacks its place or has not exactly one of schema, content")
        if parameter.get("in") == "path":
            declared.add(parameter["name"])
            if parameter.get("required") is not True:
                problems.append(f"{where}: path parameter {parameter['name']} is not required")
    if declared != set(re.findall(r"\{([^}]+)\}", path)):
        problems.append(f"{where}: path parameters {sorted(declared)} differ from the path's")
    if "requestBody" in operation:
        body = resolved(f"{where}/requestBody")
        problems += unknown_members("request body", body, f"{where}/requestBody") + media_problems(f"{where}/requestBody")
    responses = operation.get("responses", {})
    if "200" not in responses and "303" not in responses:
        problems.append(f"{where}: no 200 answer")
    # The page and its sign-in need no credentials: they alone answer no 401.
    if "401" not in responses and operation.get("security") != []:
        problems.append(f"{where}: no 401 answer")
    for status in responses:
        pointer = DESCRIPTION.follow(f"{where}/responses/{status}")
        response = DESCRIPTION.node(pointer)
        problems += unknown_members("response", response, pointer) + media_problems(pointer)
        if not re.fullmatch(r"[1-5][0-9][0-9]", status) or not response.get("description"):
            problems.append(f"{pointer}: not a status code with a description")
        for name in response.get("headers", {}):
            problems += unknown_members("header", resolved(f"{pointer}/headers/{escape(name)}"), f"{pointer}/headers/{name}")
    return problems


def schema_locations():
    """Every place that holds a schema: components, parameters, bodies, answers, headers."""
    for name in DOCUMENT["components"]["schemas"]:
        yield f"#/components/schemas/{escape(name)}"
    def walk(node, pointer):
        if isinstance(node, dict):
            for key, value in node.items():
                if key == "schema" and isinstance(value, dict):
                    yield f"{pointer}/schema"
                elif key not in ("schemas",):
                    yield from walk(value, f"{pointer}/{escape(key)}")
        elif isinstance(node, list):
            for index, value in enumerate(node):
                yield from walk(value, f"{pointer}/{index}")
    yield from walk(DOCUMENT, "#")


PLACEHOLDER = re.compile(r"\{[^}]+\}")


def service_source_routes():
    """(METHOD, path template with "{}" for its name) of the route table in host/routes/route_table.cpp."""
    source = (ROOT / "host" / "routes" / "route_table.cpp").read_text(encoding="utf-8")
    table = source[source.index("constexpr Route routes[]"):]
    table = table[:table.index("};")]
    routes = set()
    for method, head, named, tail in re.findall(r'\{"([A-Z]+)", "([^"]+)", (true|false), "([^"]*)", \w+(?:, [\w:]+)?\}', table):
        routes.add((method, head + ("{}" if named == "true" else "") + tail))
    assert routes, "no route found in host/routes/route_table.cpp"
    return routes


def with_names(path, order_id="x"):
    """A request path for a described path: its name filled in."""
    return path.replace("{name}", "positions").replace("{order_id}", order_id)


class TestDocument:
    def test_is_openapi_3_1_with_its_title_version_and_licence(self):
        assert re.fullmatch(r"3\.1\.[0-9]+", DOCUMENT["openapi"])
        assert unknown_members("document", DOCUMENT, "#") == [] and unknown_members("info", DOCUMENT["info"], "#/info") == []
        assert DOCUMENT["info"]["title"] and DOCUMENT["info"]["version"] == "0.0.0"
        assert json.loads((ROOT / "host" / "routes" / "openapi.json").read_text(encoding="utf-8"))["info"]["version"] == "@PROJECT_VERSION@"
        licence = DOCUMENT["info"]["license"]
        assert licence["name"] and ("identifier" in licence) != ("url" in licence)

    def test_every_schema_is_json_schema_2020_12(self):
        problems = []
        for pointer in schema_locations():
            try:
                Draft202012Validator.check_schema(DESCRIPTION.node(pointer))
            except SchemaError as error:
                problems.append(f"{pointer}: {error.message}")
        assert problems == []

    def test_every_reference_resolves_within_the_document(self):
        broken = []
        for where, target in DESCRIPTION.references():
            try:
                DESCRIPTION.node(target)
            except (KeyError, IndexError, ValueError):
                broken.append(f"{where} -> {target}")
        assert broken == []

    def test_every_component_is_used(self):
        referenced = {target for _, target in DESCRIPTION.references()}
        referenced |= {f"#/components/responses/{name}" for name in UNROUTED_ANSWERS.values()}
        referenced |= {f"#/components/securitySchemes/{name}" for requirement in DOCUMENT["security"] for name in requirement}
        components = DOCUMENT["components"]
        assert unknown_members("components", components, "#/components") == []
        unused = [f"#/components/{kind}/{name}" for kind in components for name in components[kind]
                  if f"#/components/{kind}/{escape(name)}" not in referenced]
        assert unused == []

    def test_every_operation_is_well_formed_and_named_once(self):
        problems = []
        for path, item in DOCUMENT["paths"].items():
            problems += unknown_members("path item", item, f"#/paths/{path}")
        for path, method, operation in DESCRIPTION.operations():
            problems += operation_problems(path, method, operation)
        names = [operation.get("operationId") for _, _, operation in DESCRIPTION.operations()]
        assert problems == []
        assert None not in names and len(set(names)) == len(names)

    def test_describes_exactly_the_service_route_table(self):
        described = {(method, PLACEHOLDER.sub("{}", path)) for path, method, _ in DESCRIPTION.operations()}
        assert described == service_source_routes()

    def test_names_and_kinds_are_those_of_the_python_client(self):
        schemas = DOCUMENT["components"]["schemas"]
        assert tuple(schemas["QueryName"]["enum"]) == zelvo.QUERY_NAMES
        assert tuple(schemas["OrderKind"]["enum"]) == zelvo.ORDER_KINDS


class TestChecker:
    """The checker the suite applies to every answer finds the faults it is there for."""

    STATUS = {"ok": True, "attached": True, "title": "x", "broker": "b", "account": "a", "halt": {"halted": False},
              "switch": {"armed": False}, "unknown_orders": 0, "events": {"listeners": 0, "polls": 0, "poll_seconds": 3},
              "journal": {"lines": 12, "snapshot_lines": 9, "read_seconds": 0.002, "damaged_lines": 0, "damaged_at": []},
              "service": {"version": "1.2.3", "port": 18766, "pid": 4}}
    ORDER = {"order_id": "a1", "time": "2025-06-30T09:31:05.120", "kind": "buy", "code": "600000", "price": 10.5,
             "quantity": 100, "ok": True, "outcome": "placed", "contract": 7, "message": "m"}

    def problems(self, method, target, status, answer, headers=None):
        return DESCRIPTION.check_answer(method, target, status, headers or {"Server-Timing": "export;dur=1.000"},
                                        json.dumps(answer).encode())

    def test_described_answers_pass(self):
        assert self.problems("GET", "/v1/status", 200, self.STATUS) == []
        assert self.problems("POST", "/v1/orders", 200, self.ORDER) == []
        assert self.problems("GET", "/v1/nothing", 404, {"ok": False, "error": "not_found", "message": "m"}) == []

    @pytest.mark.parametrize("method, target, status, answer, headers", [
        ("GET", "/v1/status", 200, {**STATUS, "service": {"port": 1, "pid": 1}}, None),   # a member missing
        ("GET", "/v1/status", 200, {**STATUS, "extra": 1}, None),                         # a member too many
        ("POST", "/v1/orders", 200, {**ORDER, "contract": -1}, None),                     # placed without contract
        ("POST", "/v1/orders", 200, {**ORDER, "ok": False}, None),                        # refused with a contract
        ("POST", "/v1/orders", 200, {**ORDER, "outcome": "lost"}, None),                  # an outcome not described
        ("GET", "/v1/status", 200, {**STATUS, "halt": {"halted": True}}, None),           # halted without a reason
        ("GET", "/v1/status", 409, {"ok": False, "error": "x", "message": "m"}, None),    # a status not described
        ("PUT", "/v1/status", 404, {"ok": False, "error": "not_found", "message": "m"}, None),  # 404 for a known path
        ("GET", "/v1/status", 401, {"ok": False, "error": "unauthorized", "message": "m"}, {}),  # header missing
        ("GET", "/v1/query/funds", 404, {"ok": False, "error": "not_found", "message": "m"}, None),  # wrong code
    ])
    def test_answers_that_differ_are_caught(self, method, target, status, answer, headers):
        assert self.problems(method, target, status, answer, headers) != []

    def test_request_bodies_that_differ_are_caught(self):
        assert DESCRIPTION.check_request("POST", "/v1/cancel", {"number": 5}) == []
        assert DESCRIPTION.check_request("POST", "/v1/cancel", {"number": 5, "all": True}) != []
        assert DESCRIPTION.check_request("POST", "/v1/orders", {"kind": "buy", "code": "600000", "price": 1}) != []


def request(service, method, path, body=None, token=None, headers=None):
    """One request with the service's token (or `token`), through http.client so the suite's checker sees it."""
    return raw_request(service, method, path, body, headers, token or token_of(service))


class TestServedDescription:
    def test_is_the_repository_description_with_the_service_version(self, service, api):
        status, _, served = request(service, "GET", "/v1/openapi.json")
        assert status == 200
        assert served == load_description(api.status()["service"]["version"])

    def test_every_described_route_is_served(self, service, api):
        """GET routes are asked as they are (the sign-in without a good code); the others with a body
        that is no object, which changes nothing. The event stream, which never ends, has tests of its
        own (test_events.py)."""
        order_id = api.buy("620010", 10.5, 100).order_id
        for path, method, _ in DESCRIPTION.operations():
            if path == "/v1/events":
                continue
            target = with_names(path, order_id)
            status, _, answer = request(service, method, target, body=None if method == "GET" else b"[]")
            expected = 403 if path == "/login" else 200 if method == "GET" else 400
            assert status == expected, (method, target, answer)

    def test_other_methods_of_a_described_path_answer_405_with_the_described_ones(self, service):
        for path, item in DOCUMENT["paths"].items():
            described = {method.upper() for method in HTTP_METHODS if method in item}
            for method in {"GET", "POST", "PUT", "DELETE"} - described:
                status, headers, _ = request(service, method, with_names(path))
                assert status == 405, (method, path)
                assert set(headers.get("Allow", "").split(", ")) == described, (method, path)

    def test_unknown_query_answer_lists_the_described_names(self, service):
        status, _, answer = request(service, "GET", "/v1/query/balance")
        assert status == 404
        assert answer["message"].split("known: ")[1].split(", ") == DOCUMENT["components"]["schemas"]["QueryName"]["enum"]

    def test_each_refusal_of_the_service_is_checked_against_the_description(self, service):
        before = sum(count for (_, status), count in ANSWERS.checked.items() if status != 200)
        big = json.dumps({"kind": "buy", "code": "600000", "price": 1, "quantity": 1, "order_id": "x" * 70000}).encode()
        refusals = [
            (("POST", "/v1/login", b"{"), 400),
            (("POST", "/v1/login", json.dumps({"password": 5}).encode()), 400),
            (("POST", "/v1/logout", json.dumps({"all": True}).encode()), 400),
            (("POST", "/v1/orders", json.dumps({"kind": "hold"}).encode()), 400),
            (("GET", "/v1/nothing", None), 404),
            (("POST", "/v1/status", None), 405),
            (("POST", "/v1/orders", big), 413),
        ]
        for (method, path, body), expected in refusals:
            assert request(service, method, path, body)[0] == expected, (method, path)
        assert request(service, "GET", "/v1/status", token="0" * 64)[0] == 401
        assert request(service, "GET", "/v1/status", headers={"X-Padding": "p" * 20000})[0] == 431
        first = json.dumps({"kind": "buy", "code": "620009", "price": 10.5, "quantity": 100, "order_id": "described-409"})
        assert request(service, "POST", "/v1/orders", first.encode())[0] == 200
        assert request(service, "POST", "/v1/orders", first.replace("100", "200").encode())[0] == 409
        after = sum(count for (_, status), count in ANSWERS.checked.items() if status != 200)
        assert after - before == len(refusals) + 3

    def test_an_answer_that_is_no_http_is_described(self, service):
        with socket.create_connection(("127.0.0.1", service.port), timeout=10) as raw:
            raw.sendall(b"NOT HTTP AT ALL\r\n\r\n")
            answer = b""
            while chunk := raw.recv(4096):
                answer += chunk
        head, _, body = answer.partition(b"\r\n\r\n")
        assert head.startswith(b"HTTP/1.1 400")
        assert DESCRIPTION.schema_problems(
            f"#/components/responses/MalformedRequest/content/{escape('application/json')}/schema", json.loads(body)) == []
