"""The built package's tables, read without installing it: the icon, the
checksums, the folder's lock, the properties the elevated install gets, the
shortcuts' keys, the folder check's place in the sequences, the launch
conditions, short names and file versions."""
import shutil
import subprocess

import pytest

from conftest import ROOT, STAND_IN, archive, built, listed, property_of, runtime, work_folder

TABLES = ROOT / "tests" / "package" / "tables.py"
WINE_MSVCRT = "/usr/lib/i386-linux-gnu/wine/i386-windows/msvcrt.dll"


def awkward_runtime(w):
    """A runtime as a JDK unpacked on a Unix machine has it, given through a
    link: links to files and folders inside, names that share a short form,
    names with spaces and letters of the code page."""
    awkward = runtime(w / "awkward-runtime")
    for folder in ("lib/security", "legal/java.base", "conf"):
        (awkward / folder).mkdir(parents=True, exist_ok=True)
    for name in ("longname one.txt", "longname two.txt", "LONGNA~1.TXT", "ação & ' $x.txt", "a.b.c.d"):
        (awkward / "lib" / name).write_text(name + "\n")
    (awkward / "conf" / "cacerts").write_text("certificates\n")
    (awkward / "lib" / "security" / "cacerts").symlink_to("../../conf/cacerts")
    (awkward / "legal" / "java.base" / "security").symlink_to("../../lib/security")
    (w / "linked-runtime").symlink_to(awkward)
    return w / "linked-runtime"


def lower_runtime(w):
    """As real runtimes ship it: bin\\javaw.exe in lower case, and a DLL with
    a version resource (Wine's own)."""
    lower = w / "lower-runtime" / "bin"
    lower.mkdir(parents=True)
    shutil.copy(STAND_IN, lower / "javaw.exe")
    shutil.copy(WINE_MSVCRT, lower)
    return w / "lower-runtime"


@pytest.fixture(scope="module")
def msi():
    """The packages this part reads, each built once, by name."""
    w = work_folder("tables")
    archive(w / "old.jar", "version 1.0.0")
    archive(w / "new.jar", "version 1.1.0")
    plain = runtime(w / "runtime")
    subprocess.run(["convert", "-size", "32x32", "xc:orange", w / "own.ico"], check=True)
    built(w / "old.jar", "--runtime", plain, "--version", "1.0.0", "--output", w / "dist")
    built(w / "new.jar", "--runtime", plain, "--version", "1.1.0", "--output", w / "dist")
    built(w / "old.jar", "--runtime", awkward_runtime(w), "--version", "1.0.0", "--output", w / "awkward")
    built(w / "old.jar", "--runtime", lower_runtime(w), "--version", "1.0.0", "--output", w / "lower")
    built(w / "old.jar", "--version", "1.0.0", "--icon", w / "own.ico", "--output", w / "own-icon")
    return {name: w / folder / "tarnix2018-1.0.0.msi" for name, folder in
            (("old", "dist"), ("awkward", "awkward"), ("lower", "lower"), ("own-icon", "own-icon"))} | {"work": w}


def extracted(package_file, stream):
    """A stream of the package, as msiinfo extracts it (leaving a folder of
    the stream's table where it runs: in the package's own folder)."""
    return subprocess.run(["msiinfo", "extract", package_file, stream], capture_output=True, check=True,
                          cwd=package_file.parent).stdout


def test_the_package_carries_the_neutral_icon_unless_given_one(msi):
    neutral = subprocess.run(["/usr/bin/python3", ROOT / "packaging" / "neutral-icon.py", "/dev/stdout"],
                             capture_output=True, check=True).stdout
    assert extracted(msi["old"], "Icon.Tarnix.ico") == neutral


def test_a_package_built_with_its_own_icon_carries_that_icon(msi):
    assert extracted(msi["own-icon"], "Icon.Tarnix.ico") == (msi["work"] / "own.ico").read_bytes()


def test_the_checksums_of_both_packages_built_into_one_folder_verify_there(msi):
    assert listed(msi["work"] / "dist") == ["tarnix2018-1.0.0.msi", "tarnix2018-1.1.0.msi"]


def tables(check, target):
    # msiinfo export leaves a table's streams where it runs: beside the package.
    result = subprocess.run(["/usr/bin/python3", TABLES, check, target], capture_output=True, text=True,
                            cwd=target.parent)
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
    tables(check, msi[package_name])


def test_every_refusal_keyword_has_its_row_in_the_administrators_page():
    tables("keywords", ROOT / "packaging" / "README.md")


def test_a_versioned_dll_has_its_version_and_language_and_no_hash(msi):
    assert tables("files", msi["lower"]).splitlines() == [
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
