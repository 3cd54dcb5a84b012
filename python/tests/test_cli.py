"""python3 -m zelvo and the installed `zelvo` command: their commands against the service, and the table layout."""

import json
import os
import select
import subprocess
import sys
from pathlib import Path

import pytest

import zelvo
from zelvo import display_width, format_table

from event_listener import wait_until

# The console command the package installs beside the environment's python.
ZELVO_COMMAND = Path(sys.executable).parent / "zelvo"


def cli(service, *arguments, token_file=None, command=(sys.executable, "-m", "zelvo")):
    environment = dict(os.environ, ZELVO_ADDRESS=service.address, ZELVO_TOKEN_FILE=str(token_file or service.token_file))
    for name in ("ZELVO_TOKEN", "PYTHONPATH"):
        environment.pop(name, None)
    return subprocess.run([*command, *arguments], capture_output=True, text=True,
                          encoding="utf-8", env=environment, timeout=120)


class TestLayout:
    def test_wide_characters_count_two_columns(self):
        assert display_width("浦发银行") == 8
        assert display_width("A股") == 3
        assert display_width("ＡＢ") == 4

    def test_columns_start_at_the_same_display_position(self):
        text = format_table(["代码", "名称", "数量"], [["600000", "浦发银行", "1000"], ["1", "x", "5"]])
        lines = text.split("\n")
        starts = [[display_width(line[:line.index(cell)]) for cell in cells]
                  for line, cells in zip(lines, [["代码", "名称", "数量"], ["600000", "浦发银行", "1000"], ["1", "x", "5"]])]
        assert starts[0] == starts[1] == starts[2]

    def test_short_rows_are_padded(self):
        assert format_table(["a", "b"], [["1"]]).split("\n") == ["a  b", "1"]


class TestCommands:
    def test_query_prints_an_aligned_table_and_the_message(self, service):
        done = cli(service, "query", "positions")
        assert done.returncode == 0, done.stderr
        lines = done.stdout.splitlines()
        assert lines[0].split() == ["证券代码", "证券名称", "股票余额", "可用余额", "参考成本价", "参考市值"]
        name_column = display_width(lines[0][:lines[0].index("证券名称")])
        assert display_width(lines[1][:lines[1].index("浦发银行")]) == name_column
        assert lines[-1] == "查询完毕"

    def test_status_and_order_commands(self, service):
        assert "华泰" in cli(service, "status").stdout
        placed = cli(service, "buy", "600000", "10.50", "100", "--order-id", "cli-1")
        assert placed.returncode == 0 and placed.stdout.startswith("contract ")
        again = cli(service, "buy", "600000", "10.50", "100", "--order-id", "cli-1")
        assert again.stdout.split(":")[0] == placed.stdout.split(":")[0]
        assert "repeated" in again.stdout

    def test_refusal_exits_1_with_the_clients_message(self, service):
        done = cli(service, "cancel", "987654")
        assert done.returncode == 1
        assert "委托不存在" in done.stderr

    def test_missing_token_file_exits_3(self, service, tmp_path):
        done = cli(service, "status", token_file=tmp_path / "none.token")
        assert done.returncode == 3
        assert "token file" in done.stderr

    @pytest.mark.parametrize("arguments", [["buy", "600000", "ten", "100"], ["query", "balance"], []])
    def test_usage_errors_exit_2(self, service, arguments):
        assert cli(service, *arguments).returncode == 2


class TestInstalledCommand:
    def test_zelvo_command_is_python_m_zelvo(self, service):
        by_module = cli(service, "query", "positions")
        by_command = cli(service, "query", "positions", command=(str(ZELVO_COMMAND),))
        assert by_command.returncode == by_module.returncode == 0, by_command.stderr
        assert by_command.stdout == by_module.stdout

    def test_each_names_itself_and_the_version_in_its_usage(self, service):
        assert cli(service, "--version", command=(str(ZELVO_COMMAND),)).stdout.strip() == f"zelvo {zelvo.__version__}"
        assert cli(service, "--version").stdout.strip() == f"python3 -m zelvo {zelvo.__version__}"
        assert cli(service, command=(str(ZELVO_COMMAND),)).stderr.startswith("usage: zelvo ")


class TestUnattendedCommands:
    def test_records_of_today_and_one_by_its_id(self, service):
        placed = cli(service, "buy", "600000", "10.50", "100", "--order-id", "cli-record-1")
        assert placed.returncode == 0, placed.stderr
        listed = cli(service, "orders")
        assert listed.stdout.splitlines()[0].split()[:3] == ["order_id", "time", "kind"]
        assert any(line.startswith("cli-record-1 ") and " placed " in line for line in listed.stdout.splitlines())
        one = cli(service, "order", "cli-record-1")
        assert "outcome: placed" in one.stdout.splitlines()
        assert cli(service, "order", "no-such-order").returncode == 3

    def test_limits_are_shown_and_changed(self, service):
        before = json.loads(cli(service, "--json", "limits").stdout)["limits"]
        changed = cli(service, "set-limits", f"max_orders_per_day={before['max_orders_per_day'] - 1}",
                      "allowed_codes=600000,000001")
        assert changed.returncode == 0, changed.stderr
        after = json.loads(cli(service, "--json", "limits").stdout)["limits"]
        assert (after["max_orders_per_day"], after["allowed_codes"]) == (before["max_orders_per_day"] - 1, ["600000", "000001"])
        assert cli(service, "set-limits", f"max_orders_per_day={before['max_orders_per_day']}", "allowed_codes=any").returncode == 0
        assert cli(service, "set-limits", "max_orders_per_day=0").returncode == 3

    def test_halt_resume_and_the_switch(self, service):
        halted = cli(service, "halt", "--reason", "from the command line")
        assert halted.returncode == 0 and "from the command line" in halted.stdout
        refused = cli(service, "buy", "600000", "10.50", "100")
        assert refused.returncode == 3 and "halted" in refused.stderr
        assert cli(service, "resume").stdout.strip() == "not halted"
        assert cli(service, "cancel-after", "60").stdout.startswith("armed: fires at ")
        assert cli(service, "cancel-after", "0").stdout.strip() == "disarmed"


class TestWatching:
    def test_events_prints_each_event_as_one_json_line(self, service, api):
        environment = dict(os.environ, ZELVO_ADDRESS=service.address, ZELVO_TOKEN_FILE=str(service.token_file))
        environment.pop("PYTHONPATH", None)
        process = subprocess.Popen([sys.executable, "-m", "zelvo", "events"], stdout=subprocess.PIPE, text=True,
                                   encoding="utf-8", env=environment)
        try:
            wait_until(lambda: api.status()["events"]["listeners"] >= 1, what="the command listening")
            api.cancel_after(0)
            readable, _, _ = select.select([process.stdout], [], [], 30)
            assert readable, "no event printed within 30 s"
            printed = json.loads(process.stdout.readline())
            assert printed["event"] == "switch" and printed["data"]["action"] == "disarmed" and printed["id"]
        finally:
            process.terminate()
            process.wait(timeout=30)

    def test_page_prints_a_new_sign_in_address(self, service):
        done = cli(service, "page")
        assert done.returncode == 0, done.stderr
        assert done.stdout.startswith(service.address + "/login?code=")
