#!/usr/bin/python3
"""The package build's limits at their boundaries, as a table on the
staging decision and the cabinet header check: no large runtime is built."""
import pathlib
import struct
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "packaging"))
from check import cabinet_mismatch  # noqa: E402
from icon import icon_problem  # noqa: E402
from staging import cabinet_refusal, unusable_names  # noqa: E402

# C:\Program Files (x86)\Velmora\Tarnix Cadastro 2018\Java\ has 57 characters.
FOLDER_LENGTH = 57


def icon(size, stored):
    """An icon of one PNG image that says it holds size bytes and holds stored."""
    header = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 16, 16, 0, 0, 1, 32, size, 22)
    return header + (b"\x89PNG\r\n\x1a\n" + bytes(16))[:stored]


def forbidden(name):
    return bool(unusable_names([pathlib.PurePosixPath(name)])[1])


def too_long(length):
    name = "lib/" + "n" * (length - FOLDER_LENGTH - len("lib/") - len(".txt")) + ".txt"
    return bool(unusable_names([pathlib.PurePosixPath(name)])[3])


def shared_rows():
    """The rows the folder check's tests read too."""
    rows = []
    with open(pathlib.Path(__file__).resolve().parents[1] / "support" / "shared_rules.tsv", encoding="utf-8") as table:
        for kind, value, refused, what in (line.rstrip("\n").split("\t") for line in table if line[0] != "#"):
            rows.append((what, forbidden(f"lib/{value}") if kind == "name" else too_long(int(value)), refused == "yes"))
    return rows


# (what, the decision, what it must be: True where the build refuses)
ROWS = shared_rows() + [
    ("65535 files in all (65533 of the runtime) fit", cabinet_refusal(65533, 0) is not None, False),
    ("65536 files in all are refused", cabinet_refusal(65534, 0) is not None, True),
    ("2147450880 bytes fit", cabinet_refusal(10, 2147450880) is not None, False),
    ("2147450881 bytes are refused", cabinet_refusal(10, 2147450881) is not None, True),
    ("an icon whose image ends with the file passes", icon_problem(icon(24, 24)) is not None, False),
    ("an icon whose image runs a byte past the file is refused", icon_problem(icon(24, 23)) is not None, True),
    ("blocks that cover the bytes pass", cabinet_mismatch(3, 2, 3, 65536) is not None, False),
    ("a partial block is a block", cabinet_mismatch(3, 3, 3, 65537) is not None, False),
    ("one block fewer than a partial block needs fails", cabinet_mismatch(3, 2, 3, 65537) is not None, True),
    ("one block fewer, a single partial block", cabinet_mismatch(1, 0, 1, 1) is not None, True),
    ("a file fewer in the header fails", cabinet_mismatch(2, 2, 3, 100) is not None, True),
]

failed = 0
for what, refused, expected in ROWS:
    ok = refused == expected
    failed += not ok
    print(f"{'ok  ' if ok else 'FAIL'}  {what}")
print(f"{len(ROWS) - failed} passed, {failed} failed")
sys.exit(1 if failed else 0)
