"""zip_tree.py BASE FOLDER OUT.zip: zips BASE/FOLDER (as FOLDER/...) so that the same files always give
the same bytes: entries in sorted order, each dated SOURCE_DATE_EPOCH (UTC), with fixed permissions and
no owner or extra fields."""

import os
import sys
import time
import zipfile
from pathlib import Path


def entry(name: str, stamp: time.struct_time, directory: bool) -> zipfile.ZipInfo:
    info = zipfile.ZipInfo(name + ("/" if directory else ""), date_time=stamp[:6])
    info.create_system = 3  # Unix, so that the permissions below are read
    info.external_attr = ((0o40755 if directory else 0o100644) << 16) | (0x10 if directory else 0)
    info.compress_type = zipfile.ZIP_STORED if directory else zipfile.ZIP_DEFLATED
    return info


def main() -> int:
    base, folder, out = Path(sys.argv[1]), sys.argv[2], Path(sys.argv[3])
    stamp = time.gmtime(int(os.environ["SOURCE_DATE_EPOCH"]))
    paths = sorted([folder] + [str(path.relative_to(base)) for path in (base / folder).rglob("*")])
    with zipfile.ZipFile(out, "w") as archive:
        for name in paths:
            path = base / name
            if path.is_dir():
                archive.writestr(entry(name, stamp, True), b"")
            else:
                archive.writestr(entry(name, stamp, False), path.read_bytes(), compresslevel=9)
    return 0


if __name__ == "__main__":
    sys.exit(main())
