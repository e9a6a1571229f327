"""The built package's tables, read without installing it: the icon, the
checksums, the folder's lock, the properties the elevated install gets, the
shortcuts' keys, the folder check's place in the sequences, the launch
conditions, short names and file versions."""
import subprocess

import pytest

from conftest import ROOT, listed, property_of, work_folder
from packages import HOME, prebuilt

TABLES = ROOT / "tests" / "package" / "tables.py"


@pytest.fixture(scope="module")
def msi():
    """The packages this part reads, by name, and its work folder: msiinfo leaves a table's streams where it runs."""
    return {name: prebuilt(name) for name in ("old", "awkward", "lower", "own-icon")} | {"work": work_folder("tables")}


def extracted(msi, name, stream):
    """A stream of a package, as msiinfo extracts it."""
    return subprocess.run(["msiinfo", "extract", msi[name], stream], capture_output=True, check=True,
                          cwd=msi["work"]).stdout


def test_the_package_carries_the_neutral_icon_unless_given_one(msi):
    neutral = subprocess.run(["/usr/bin/python3", ROOT / "packaging" / "neutral-icon.py", "/dev/stdout"],
                             capture_output=True, check=True).stdout
    assert extracted(msi, "old", "Icon.Tarnix.ico") == neutral


def test_a_package_built_with_its_own_icon_carries_that_icon(msi):
    assert extracted(msi, "own-icon", "Icon.Tarnix.ico") == (HOME / "own.ico").read_bytes()


def test_the_checksums_of_both_packages_built_into_one_folder_verify_there(msi):
    assert listed(HOME / "dist") == ["tarnix2018-1.0.0.msi", "tarnix2018-1.1.0.msi"]


def tables(check, target, work=None):
    result = subprocess.run(["/usr/bin/python3", TABLES, check, target], capture_output=True, text=True, cwd=work)
    assert result.returncode == 0, result.stdout + result.stderr
    return result.stdout


@pytest.mark.parametrize("check, package_name", [
    pytest.param("lock", "old", id="the folder is locked: protected, SYSTEM and Administrators full, "
                                   "Users read and run, not on a network folder"),
    pytest.param("shortcut-keys", "old", id="each shortcut's component is keyed by an HKMU value, and writes no other root"),
    pytest.param("folder-check", "old", id="the folder check runs in both sequences before LaunchConditions, never on "
                                           "removal; the folder made and looked at again as SYSTEM"),
    pytest.param("operands", "old", id="no condition compares with <<, >> or >< against what may be empty"),
    pytest.param("refusals", "old", id="every reason the folder check gives has a launch condition with its message"),
    pytest.param("short-names", "awkward", id="every short name of the awkward runtime's package is 8.3 and unique"),
])
def test_package_table(msi, check, package_name):
    tables(check, msi[package_name], msi["work"])


def test_every_refusal_keyword_has_its_row_in_the_administrators_page():
    tables("keywords", ROOT / "packaging" / "README.md")


def test_a_versioned_dll_has_its_version_and_language_and_no_hash(msi):
    assert tables("files", msi["lower"], msi["work"]).splitlines() == [
        "javaw.exe - - hash", "msvcrt.dll 7.0.2600.2180 1033 no-hash", "tarnix2018.exe - - hash",
        "tarnix2018.jar - - hash"]


@pytest.mark.parametrize("name, value", [
    pytest.param("SecureCustomProperties", "WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;INSTALLDIR;DESKTOP_SHORTCUT",
                 id="every property the administrators' page documents reaches the elevated install"),
    pytest.param("ARPNOMODIFY", "1", id="Programs and Features offers no Change"),
    pytest.param("ARPNOREPAIR", "1", id="Programs and Features offers no Repair"),
])
def test_package_property(msi, name, value):
    assert property_of(msi["old"], name) == value
