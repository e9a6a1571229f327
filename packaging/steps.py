#!/usr/bin/env python3
"""The steps of scripts/package that bash does badly. Each fails with one
line "package: ..." and status 1.

  steps.py check-archive ARCHIVE                    a whole zip with a Main-Class
  steps.py check-icon ICON                          a whole .ico file
  steps.py check-runtime RUNTIME                    what staging would refuse in it
  steps.py stage STAGE LAUNCHER ARCHIVE [RUNTIME]   the files to install, checked
  steps.py runtime-wxs STAGE                        WiX source of STAGE/Java
  steps.py codes STAGE VERSION TIME SOURCE...       product and package codes
  steps.py finish MSI STATEMENTS STAGE TIME PACKAGE_CODE   the tables wixl cannot write
  steps.py check MSI STAGE                          the package against the staged files
  steps.py publish OUTPUT MSI NAME TOKEN            into OUTPUT as NAME, with its checksum
  steps.py check-unpublished TARGET VERSION TIME LAUNCHER ARCHIVE RUNTIME SOURCE...
                                                    TARGET absent, or built from these inputs
"""
import sys

from archive import check_archive
from check import check
from failure import fail
from finish import finish
from icon import check_icon
from publish import check_unpublished, publish
from product_codes import codes
from runtime_source import runtime_wxs
from staging import checked_runtime, stage


def main(command, *rest):
    if command == "check-archive":
        check_archive(*rest)
    elif command == "check-icon":
        check_icon(*rest)
    elif command == "check-runtime":
        checked_runtime(*rest)
    elif command == "check-unpublished":
        check_unpublished(*rest)
    elif command == "publish":
        publish(*rest)
    elif command == "stage":
        stage(*rest)
    elif command == "runtime-wxs":
        runtime_wxs(*rest)
    elif command == "codes":
        codes(rest[0], rest[1], rest[2], rest[3:])
    elif command == "finish":
        finish(*rest)
    elif command == "check":
        check(*rest)
    else:
        fail(f"unknown step {command}")


if __name__ == "__main__":
    main(*sys.argv[1:])
