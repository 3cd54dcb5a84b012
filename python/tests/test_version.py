"""One version everywhere: the project's version in CMakeLists.txt is the one every place states."""

import importlib.metadata
import re
import subprocess

import zelvo
from api_description import ROOT
from conftest import BIN, BUILD


def cmake_project_version():
    return re.search(r"project\(zelvo VERSION ([0-9.]+)", (ROOT / "CMakeLists.txt").read_text()).group(1)


def resource_versions(binary):
    """The version resource's numeric file and product versions and its FileVersion and ProductVersion texts."""
    windres = f"{BUILD.name}-w64-mingw32-windres"
    script = subprocess.run([windres, "-i", str(binary), "-O", "rc"], capture_output=True, text=True, check=True,
                            timeout=60).stdout
    numbers = {name: ".".join(numbers.replace(" ", "").split(","))
               for name, numbers in re.findall(r"^\s*(FILEVERSION|PRODUCTVERSION)\s+([0-9, ]+)$", script, re.M)}
    texts = dict(re.findall(r'VALUE "(FileVersion|ProductVersion)", "([^"]*)"', script))
    return {**numbers, **texts}


def test_every_place_states_the_project_version(bench, service, api):
    version = cmake_project_version()
    places = {}
    for binary in ("zelvo.dll", "zelvo-host.dll", "zelvo-load.exe"):
        found = resource_versions(BIN / binary)
        for name in ("FILEVERSION", "PRODUCTVERSION", "FileVersion", "ProductVersion"):
            # The numeric versions have a fourth part, always 0.
            places[f"{binary} {name}"] = re.sub(r"\.0$", "", found.get(name, "")) if name.isupper() else found.get(name)
    places["include/zelvo.h ZELVO_VERSION"] = re.search(
        r'#define ZELVO_VERSION "([^"]*)"', (ROOT / "include" / "zelvo.h").read_text()).group(1)
    places["GET /v1/status service.version"] = api.status()["service"]["version"]
    places["GET /v1/openapi.json info.version"] = api._call("GET", "/v1/openapi.json")["info"]["version"]
    loader = bench.load("--version")
    places["zelvo-load --version"] = loader.stdout.strip().removeprefix("zelvo-load ") if loader.returncode == 0 else loader.stdout
    places["zelvo.__version__"] = zelvo.__version__
    places["the installed package's metadata"] = importlib.metadata.version("zelvo")
    assert {place: found for place, found in places.items() if found != version} == {}, f"project version {version}"
