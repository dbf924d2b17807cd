"""Zips a folder so that the same files always give the same bytes: names in
order, one fixed date, fixed attributes, deflate at one level. With a top
name, the zip holds the folder's contents under <top>/, so that it unpacks
into a folder of its own.

    python3 tools/reproducible_zip.py <folder> <zip> [<top>]
"""

import sys
import zipfile
from pathlib import Path

DATE = (1980, 1, 1, 0, 0, 0)  # the earliest a zip can hold


def entry(name, is_dir):
    info = zipfile.ZipInfo(name + ("/" if is_dir else ""), DATE)
    info.create_system = 0  # MS-DOS attributes, as Windows' own zips
    info.external_attr = 0x10 if is_dir else 0x20  # FILE_ATTRIBUTE_DIRECTORY / _ARCHIVE
    info.compress_type = zipfile.ZIP_STORED if is_dir else zipfile.ZIP_DEFLATED
    return info


def main(folder, out, top=""):
    folder = Path(folder)
    with zipfile.ZipFile(out, "w") as z:
        if top:
            z.writestr(entry(top, True), b"")
        for path in sorted(folder.rglob("*"), key=lambda p: p.relative_to(folder).as_posix()):
            name = (top + "/" if top else "") + path.relative_to(folder).as_posix()
            if path.is_dir():
                z.writestr(entry(name, True), b"")
            else:
                z.writestr(entry(name, False), path.read_bytes(), compresslevel=9)


if __name__ == "__main__":
    main(*sys.argv[1:])
