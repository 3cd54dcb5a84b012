"""The installed zelvo package: what its metadata promises a user who installs the wheel."""

import importlib.metadata
from pathlib import Path

import zelvo


def test_metadata_names_python_3_8_and_pandas_only_as_an_option():
    metadata = importlib.metadata.metadata("zelvo")
    assert metadata["Name"] == "zelvo"
    assert metadata["Requires-Python"] == ">=3.8"
    assert metadata.get_all("Provides-Extra") == ["pandas"]
    requirements = [requirement.replace(" ", "").replace("'", '"') for requirement in metadata.get_all("Requires-Dist")]
    assert requirements == ['pandas;extra=="pandas"']
    assert metadata["License"] == "MIT"


def test_typed_and_with_its_command():
    assert (Path(zelvo.__file__).parent / "py.typed").is_file()
    commands = [entry for entry in importlib.metadata.entry_points(group="console_scripts") if entry.name == "zelvo"]
    assert [command.value for command in commands] == ["zelvo.__main__:main"]


def test_the_wheel_holds_the_package_and_its_licence_only():
    files = {str(file) for file in importlib.metadata.files("zelvo")}
    package = {file for file in files if file.startswith("zelvo/") and "__pycache__" not in file}
    assert package == {"zelvo/__init__.py", "zelvo/__main__.py", "zelvo/client.py", "zelvo/switch.py", "zelvo/table.py",
                       "zelvo/events.py", "zelvo/backoff.py", "zelvo/connections.py",
                       "zelvo/py.typed"}
    assert any(file.endswith(".dist-info/LICENSE") for file in files)
