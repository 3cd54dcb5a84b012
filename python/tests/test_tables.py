"""Query results as pandas DataFrames: the client's column names, numbers where a whole column is
numeric, codes and accounts kept as written; and a clear error where pandas is not installed."""

import sys

import pytest

import zelvo

COLUMNS = ["证券代码", "证券名称", "股票余额", "参考成本价", "委托编号", "成交编号", "股东代码", "备注", "备注"]
ROWS = [["600000", "浦发银行", "1000", "10.50", "901", "0012", "123456", "", "a"],
        ["000001", "平安银行", "-200", "", "902", "13", "654321", "x"]]


def result(columns=COLUMNS, rows=ROWS):
    return zelvo.QueryResult("positions", columns, rows, "", "查询完毕")


class TestWithPandas:
    def test_numbers_where_a_whole_column_is_numeric_and_codes_as_written(self):
        import pandas  # noqa: F401 -- Debian's python3-pandas (tools/setup-python.sh)
        frame = result().to_pandas()
        assert list(frame.columns) == COLUMNS and len(frame) == 2
        assert list(frame["证券代码"]) == ["600000", "000001"]
        assert list(frame["股东代码"]) == ["123456", "654321"]
        assert list(frame["成交编号"]) == ["0012", "13"]  # a leading zero: written, not counted
        assert str(frame["股票余额"].dtype) == "int64" and list(frame["股票余额"]) == [1000, -200]
        assert str(frame["委托编号"].dtype) == "int64"
        cost = frame["参考成本价"]
        assert str(cost.dtype) == "float64" and cost[0] == 10.5 and cost.isna()[1]
        notes = frame.iloc[:, 7:]
        assert notes.values.tolist() == [["", "a"], ["x", ""]]  # repeated names kept, short rows padded

    def test_an_empty_table_keeps_its_columns(self):
        frame = result(rows=[]).to_pandas()
        assert list(frame.columns) == COLUMNS and len(frame) == 0

    def test_a_query_of_the_service(self, api):
        positions = api.query("positions").to_pandas()
        assert list(positions.columns) == api.query("positions").columns
        assert positions["证券代码"].dtype == object and str(positions["股票余额"].dtype) == "int64"


def test_without_pandas_it_says_how_to_install_it(monkeypatch):
    monkeypatch.setitem(sys.modules, "pandas", None)  # as if pandas were not installed
    with pytest.raises(ImportError, match=r"pip install zelvo\[pandas\]"):
        result().to_pandas()
    assert result().records()[1]["证券代码"] == "000001"
