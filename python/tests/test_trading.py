"""Every route through the Python client, against the service inside a substitute client."""

import json

import pytest

import zelvo

# The order page each kind must reach in the substitute client's edition.
ORDER_PAGES = {
    "buy": "买入",
    "sell": "卖出",
    "margin-buy": "融资买入",
    "short-sell": "融券卖出",
    "buy-to-return": "买券还券",
    "sell-to-repay": "卖券还款",
    "return-in-kind": "现券还券",
}


def cancel_list(api):
    """The order numbers the client's cancel list shows: all, buys, sells."""
    records = api.query("cancel-list").records()
    numbers = {None: [], "buy": [], "sell": []}
    for record in records:
        numbers[None].append(int(record["委托编号"]))
        side = "buy" if "买" in record["买卖标志"] else "sell"
        numbers[side].append(int(record["委托编号"]))
    assert numbers["buy"] and numbers["sell"], records
    return numbers


def journal_records(service):
    return [json.loads(line) for line in service.journal_lines()]


class TestStatusAndSession:
    def test_status_names_the_attached_client(self, api, service):
        status = api.status()
        assert status["attached"] is True
        assert "华泰" in status["title"]
        assert status["broker"] == "华泰"
        assert status["account"].endswith("12345678")
        assert status["service"]["port"] == service.port

    def test_logout_detaches_and_login_attaches_again(self, api):
        api.logout()
        assert api.status()["attached"] is False
        with pytest.raises(zelvo.ClientRefused) as refused:
            api.query("positions")
        assert refused.value.message == "未登录"
        assert api.login().startswith("欢迎使用")
        assert api.status()["attached"] is True

    def test_login_password_outside_gbk_is_refused_before_the_client(self, api):
        with pytest.raises(zelvo.RequestRejected) as rejected:
            api.login("密码\U0001F600")
        assert rejected.value.status == 400
        assert api.status()["attached"] is True


class TestQueries:
    @pytest.mark.parametrize("name", zelvo.QUERY_NAMES)
    def test_every_query_answers_columns_rows_and_table(self, api, name):
        result = api.query(name)
        assert result.columns and result.rows, result
        assert result.table
        assert result.message
        assert all(len(row) <= len(result.columns) for row in result.rows)

    def test_table_text_splits_into_cells(self, api):
        positions = api.query("positions")
        assert positions.columns[:2] == ["证券代码", "证券名称"]
        assert positions.records()[0]["证券代码"] == "600000"
        lines = positions.table.split("\n")
        assert lines[0].split("\t") == positions.columns
        assert [line.split("\t") for line in lines[1:]] == positions.rows

    def test_funds_line_becomes_one_row_of_labelled_values(self, api):
        funds = api.query("funds")
        assert funds.columns[0] == "币种"
        assert funds.records() == [dict(zip(funds.columns, funds.rows[0]))]
        assert funds.records()[0]["币种"] == "人民币"
        assert funds.records()[0]["余额"] == "25000.00"
        assert funds.table.startswith("人民币 ")

    def test_currency_summary_has_three_currencies(self, api):
        summary = api.query("currencies")
        assert [row[0] for row in summary.rows] == ["人民币", "美元", "港元"]

    def test_unknown_query_name_is_not_found(self, api):
        with pytest.raises(zelvo.RequestRejected) as rejected:
            api.query("balance")
        assert rejected.value.status == 404
        assert "positions" in rejected.value.message


class TestOrders:
    @pytest.mark.parametrize("kind", zelvo.ORDER_KINDS)
    def test_each_kind_reaches_its_own_order_page(self, api, service, kind):
        code = f"6100{zelvo.ORDER_KINDS.index(kind):02d}"
        placed = getattr(api, kind.replace("-", "_"))(code, 31.25, 300)
        assert placed.contract > 0
        assert str(placed.contract) in placed.message
        assert (placed.kind, placed.code, placed.price, placed.quantity) == (kind, code, 31.25, 300)
        assert service.client_process.tickets(code, at_least=1) == [[ORDER_PAGES[kind], code, "31.25", "300"]]

    def test_contract_numbers_are_distinct(self, api):
        first = api.buy("600000", 10.5, 100)
        second = api.buy("600000", 10.5, 100)
        assert second.contract != first.contract

    def test_retry_with_the_same_order_id_places_nothing_new(self, api, service):
        first = api.sell("620001", 12.5, 200, order_id="retry-1")
        again = api.sell("620001", 12.5, 200, order_id="retry-1")
        assert (again.contract, again.message) == (first.contract, first.message)
        assert again.replayed and not first.replayed
        assert len(service.client_process.tickets("620001", at_least=2, bound=1.0)) == 1

    def test_order_id_reused_for_another_order_is_a_conflict(self, api, service):
        first = api.buy("620002", 10.5, 100, order_id="reuse-1")
        with pytest.raises(zelvo.RequestRejected) as rejected:
            api.buy("620002", 10.6, 100, order_id="reuse-1")
        assert rejected.value.status == 409
        assert rejected.value.answer["first_answer"]["contract"] == first.contract
        assert len(service.client_process.tickets("620002", at_least=2, bound=1.0)) == 1

    @pytest.mark.parametrize("fields, fault", [
        ({"kind": "hold"}, "kind"),
        ({"code": "浦发"}, "code"),
        ({"code": ""}, "code"),
        ({"price": -1}, "price"),
        ({"price": "10.5"}, "price"),
        ({"quantity": 100.5}, "quantity"),
        ({"quantity": 0}, "quantity"),
        ({"quantity": 2 ** 31}, "quantity"),
        ({"order_id": "has space"}, "order_id"),
        ({"qty": 100}, "unknown field: qty"),
    ])
    def test_bad_fields_are_refused_and_nothing_is_placed(self, service, fields, fault):
        body = {"kind": "buy", "code": "630001", "price": 10.5, "quantity": 100, **fields}
        before_journal = len(service.journal_lines())
        with pytest.raises(zelvo.RequestRejected) as rejected:
            service.client()._call("POST", "/v1/orders", body)
        assert rejected.value.status == 400
        assert fault in rejected.value.message
        assert len(service.journal_lines()) == before_journal
        assert service.client_process.tickets(body["code"], at_least=1, bound=0.5) == []


class TestCancels:
    def test_cancel_by_number(self, api):
        assert api.cancel(int(api.query("orders").records()[0]["委托编号"]))

    def test_cancel_of_an_unknown_number_carries_the_clients_message(self, api):
        with pytest.raises(zelvo.ClientRefused) as refused:
            api.cancel(987654)
        assert refused.value.message == "委托不存在"

    @pytest.mark.parametrize("side", [None, "buy", "sell"])
    def test_cancel_all_takes_the_cancel_list_by_side(self, api, side):
        numbers = cancel_list(api)[side]
        result = api.cancel_all(side)
        assert [r.number for r in result.results] == numbers
        assert result.cancelled == numbers

    def test_cancel_all_with_an_unknown_side_is_refused(self, service):
        with pytest.raises(zelvo.RequestRejected) as rejected:
            service.client()._call("POST", "/v1/cancel-all", {"side": "both"})
        assert rejected.value.status == 400


class TestJournal:
    def test_every_order_and_cancel_has_its_request_then_its_answer(self, api, service):
        listed = cancel_list(api)
        start = len(service.journal_lines())
        placed = api.buy("600519", 1500.0, 100, order_id="journal-1")
        api.buy("600519", 1500.0, 100, order_id="journal-1")
        api.cancel(listed["buy"][0])
        api.cancel_all("sell")
        records = journal_records(service)[start:]
        sells = [("cancel", None)] * len(listed["sell"])
        assert [(r["event"], r.get("route")) for r in records] == [
            ("request", "orders"), ("answer", None), ("request", "orders"), ("answer", None),
            ("request", "cancel"), ("answer", None), ("request", "cancel-all"), *sells, ("answer", None)]
        requests = [r for r in records if r["event"] == "request"]
        answers = [r for r in records if r["event"] == "answer"]
        assert all(q["seq"] == a["seq"] for q, a in zip(requests, answers))
        assert len({r["seq"] for r in requests}) == 4
        assert requests[0]["request"] == {"kind": "buy", "code": "600519", "price": 1500.0, "quantity": 100,
                                          "order_id": "journal-1"}
        assert requests[0]["sends"] is True and requests[1]["sends"] is False
        assert answers[0]["answer"]["contract"] == placed.contract
        assert answers[1]["answer"]["replayed"] is True
        assert requests[2]["request"] == {"number": listed["buy"][0]}
        assert [r["number"] for r in answers[3]["answer"]["results"]] == listed["sell"]
        assert [r["number"] for r in records if r["event"] == "cancel"] == listed["sell"]

    def test_status_and_queries_of_numbers_seen_before_are_not_journaled(self, api, service):
        api.query("orders")
        before = len(service.journal_lines())
        api.status()
        api.query("orders")
        api.query("positions")
        assert len(service.journal_lines()) == before

    def test_journal_lines_are_complete_json_objects(self, service):
        for line in service.journal_lines():
            assert isinstance(json.loads(line), dict)
