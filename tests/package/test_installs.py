"""Silent installs under Wine's msiexec of packages built from small archives
with the stand-in as their private runtime: the default folder and others,
runtimes with awkward names, the shortcut read and started through the
shell, the uninstall; and refused folders, each with the box its refusal
shows. Each observation of a row is a test of its own. CTest runs this file
as three parts side by side (TARNIX_PART: installs, refusals-1 and
refusals-2, every other refused row each); without TARNIX_PART it runs all."""
import dataclasses
import getpass
import os
import re
import shutil
import subprocess
import time

import pytest

from conftest import BUILD, KEY, REFUSED, ROOT, STAND_IN, VENDOR, Wine, first_missing, remove, table, work_folder
from packages import HOME, prebuilt

PART = os.environ.get("TARNIX_PART")
DEFAULT = "C:\\Program Files (x86)\\Velmora\\Tarnix Cadastro 2018"
INSTALLED = ("old", "awkward", "bare", "lower")


@dataclasses.dataclass
class Row:
    name: str
    folder: str  # as msiexec is given it; ~ the user's profile; DEFAULT: no INSTALLDIR
    package: str = "old"
    holds: str = ""  # what is placed first (archive, Java, a parent, a link=TARGET), or later
    refusal: str = ""  # REASON[=FOLDER] of the box the install is refused with; empty: it installs
    locale: str = "C.UTF-8"
    desktop: bool = False

    def given(self):
        return self.folder.replace("~", f"C:\\users\\{getpass.getuser()}", 1)

    def properties(self):
        return ["DESKTOP_SHORTCUT=1"] * self.desktop + ["INSTALLDIR=" + self.given()] * (self.folder != DEFAULT)


INSTALLS = [
    Row("default folder", DEFAULT),
    Row("other folder, desktop shortcut", "C:\\Tarnix Aplicação", desktop=True),
    Row("default folder in lower case", "c:\\program files (x86)\\velmora\\tarnix cadastro 2018\\"),
    Row("runtime with awkward names, given as a link", "C:\\Tarnix Nomes", "awkward"),
    Row("runtime with bin\\javaw.exe in lower case", "C:\\Tarnix Minúsculas", "lower"),
    Row("a name the installer would read as a property and a group", "C:\\Tarnix[ProductName]{{x}}"),
    Row("no runtime, a Java folder placed by hand after the install", "C:\\Tarnix Java Manual", "bare", "later"),
    Row("a parent only its owner writes", "C:\\TarnixFechada\\App", holds="closed-parent"),
    Row("a folder an administrator made empty beforehand", "C:\\Tarnix Vazia", holds="empty"),
    Row("a link on the way that only its owner changes", "C:\\revok\\App", holds="link=TarnixReal"),
]
REFUSALS = [
    Row("occupied folder, Western code page", "C:\\Ocupada", holds="archive", refusal="existing=C:\\Ocupada"),
    Row("occupied folder, Cyrillic code page", "C:\\Ocupada", holds="archive", refusal="existing=C:\\Ocupada",
        locale="ru_RU.UTF-8"),
    Row("default folder, already holding a tarnix2018.jar", DEFAULT, holds="archive", refusal="existing=" + DEFAULT),
    Row("no runtime, beside a Java folder placed by hand", "C:\\Tarnix Java Antes", "bare", "Java",
        "existing=C:\\Tarnix Java Antes"),
    Row("relative folder", "Tarnix", refusal="relative"),
    Row("forward slashes", "C:/Tarnix/App", refusal="slash"),
    Row("folder name ending in dots", "C:\\TarnixPonto..", refusal="dot"),
    Row("drive root", "D:\\", refusal="root"),
    Row("Windows folder", "C:\\Windows", refusal="system=C:\\windows"),
    Row("shared data folder", "C:\\ProgramData\\Tarnix", refusal="shared=C:\\ProgramData"),
    Row("the user's application data", "~\\AppData\\Roaming\\Tarnix", refusal="profile=C:\\users"),
    Row("a %NAME% pair a shortcut would expand", "C:\\%TEMP%\\Tarnix", refusal="percent"),
    Row("the verbatim form", "\\\\?\\C:\\TarnixVerbatim", refusal="device"),
    Row("this computer by the network", "\\\\localhost\\C$\\TarnixLocal", refusal="loopback=\\\\localhost\\C$\\"),
    Row("a drive letter that is no local disk", "Q:\\Tarnix", refusal="mapped=Q:\\"),
    Row("a parent every user may write", "C:\\TarnixAberta\\App", holds="open-parent",
        refusal="writable=C:\\TarnixAberta"),
    Row("a reserved character", "C:\\Tar?nix", refusal="reserved=C:\\Tar?nix\\"),
    Row("a device's name", "C:\\CON\\Tarnix", refusal="devicename=C:\\CON\\Tarnix\\"),
    Row("a name the Western code page cannot hold", "C:\\Tarnix ł", refusal="codepage=C:\\Tarnix ł"),
    # 196 + 1 + the longest file, 63: one past 259; its deepest folder leaves room.
    Row("a folder one character too long for the runtime's longest file", "C:\\" + "T" * 193, "awkward",
        refusal="toolong=C:\\" + "T" * 193),
    Row("a link to the Windows folder", "C:\\revwin\\Tarnix", holds="link=windows", refusal="system=C:\\windows"),
    Row("a link to the Public folder", "C:\\revpub\\Tarnix", holds="link=users/Public", refusal="profile=C:\\users"),
    Row("a link into a folder every user may write", "C:\\revaberto\\Tarnix", holds="link=TarnixAberto/Dentro",
        refusal="writable=C:\\TarnixAberto"),
]

# Each check a row makes: its key, what it says.
INSTALL_CHECKS = {
    "status": "a silent install exits with 0", "log": "its log is written",
    "accepted": "its log names the folder accepted as given, in the ANSI code page",
    "key": "the package's own key holds its Version, 1.0.0",
    "files": "the launcher, the archive and the runtime are in the folder",
    "runtime": "the runtime's files, links followed, are there byte for byte",
    "entry": "Programs and Features: Tarnix Cadastro 2018, Velmora, 1.0.0, in the folder, no Change, no Repair",
    "desktop": "a desktop shortcut is made only when asked",
    "shortcut": "the Start-menu shortcut targets the launcher, no arguments, starts in the folder",
    "started": "started through the shell, the launcher starts the private runtime in the folder",
    "removed": "a silent uninstall exits with 0",
    "by hand": "the uninstall leaves the Java folder placed by hand, and nothing else but the folder's record, kept "
               "for a later removal",
    "leftovers": "the uninstall leaves nothing of what was installed"}
REFUSAL_CHECKS = {"box": "the install is refused with the box its refusal shows",
                  "nothing": "nothing is installed, nothing made", "foreign": "the file of another origin is as it was"}
APPLIES = {"runtime": lambda row: row.package == "awkward", "by hand": lambda row: row.holds == "later",
           "foreign": lambda row: row.holds in ("archive", "Java")}


def of_part(part, rows, checks):
    """Each row's checks that apply to it, where TARNIX_PART names this part or nothing."""
    return [pytest.param(row, check, id=f"{row.name}: {said}") for row in rows for check, said in checks.items()
            if APPLIES.get(check, lambda row: True)(row)] if PART in (None, part) else []


@pytest.fixture(scope="module")
def wine():
    machine = Wine(work_folder(PART or "installs"))
    # What a run that stopped half-way left: a product installed, what its rows made.
    machine.uninstall(map(prebuilt, INSTALLED))
    for path in [*machine.drive_c.iterdir(), *(machine.drive_c / "Program Files (x86)").iterdir()]:
        if path.name.lower().startswith(("tarnix", "ocupada", "rev", "velmora", "package-record")):
            remove(path) if path.is_dir() or path.is_symlink() else path.unlink()
    machine.seen = {}
    return machine


def make_locale(name):
    return subprocess.run([ROOT / "tests" / "tools" / "make-locale", BUILD, name], capture_output=True, text=True,
                          check=True).stdout.strip()


def placed(wine, row, here):
    """What the row places before msiexec runs: the file of another origin, or None."""
    if row.holds in ("archive", "Java"):
        foreign = here / {"archive": "tarnix2018.jar", "Java": "Java/bin/Javaw.exe"}[row.holds]
        foreign.parent.mkdir(parents=True, exist_ok=True)
        return shutil.copy(STAND_IN, foreign)
    if row.holds == "empty":
        here.mkdir(mode=0o755)
    if row.holds.endswith("-parent"):  # Wine reads mode 0777 as Everyone modify, delete and delete-child
        here.parent.mkdir()
        os.chmod(here.parent, 0o777 if row.holds == "open-parent" else 0o755)
    if row.holds.startswith("link="):  # a reparse point of C:, to Windows or to the test's own folders
        here.parent.symlink_to(row.holds[5:])
        if row.holds.startswith("link=Tarnix"):
            (wine.drive_c / row.holds[5:]).mkdir(parents=True, mode=0o755)
            os.chmod(wine.drive_c / row.holds[5:].split("/")[0], 0o777 if "Aberto" in row.holds else 0o755)
    return None


def observed(wine, row, observe, check):
    """A row's observation of the check, (seen, expected); the row is observed once a run, what it made
    removed after, and a failure of its own fails each of its checks at once."""
    if row.name not in wine.seen:
        here = wine.local(row.given().rstrip("\\"))
        made = here and first_missing(here)
        try:
            wine.seen[row.name] = observe(wine, row, here, placed(wine, row, here) if here else None)
        except Exception as failure:
            wine.seen[row.name] = failure
        finally:
            wine.uninstall([prebuilt(row.package)])  # the one package a row installs
            for path in (made, here and here.parent if row.holds.startswith("link=") else None):
                path and remove(path)
            if row.holds.startswith("link=Tarnix"):
                remove(wine.drive_c / row.holds[5:].split("/")[0])
    if isinstance(wine.seen[row.name], Exception):
        raise wine.seen[row.name]
    return wine.seen[row.name][check]


def installed(wine, row, here, foreign):
    """A row installed, looked at, started through its shortcut and uninstalled."""
    folder, package_file = row.given().rstrip("\\"), prebuilt(row.package)
    seen = {"status": (wine.msiexec("/i", package_file, *row.properties()), 0)}
    log = wine.logged().encode("latin-1")
    seen["log"] = (b"InstallFinalize" in log, True)
    seen["accepted"] = (f"CheckInstallFolder: accepted {folder}\\".encode("cp1252") in log, True)
    seen["key"] = (wine.registry_text(KEY, "Version"), "1.0.0")
    here = wine.local(folder)  # in the letter case the install made
    if row.holds == "later":
        (here / "Java" / "bin").mkdir(parents=True)
        shutil.copy(STAND_IN, here / "Java" / "bin" / "Javaw.exe")
    runtime = wine.local(folder + "\\Java\\bin\\Javaw.exe")
    seen["files"] = ([path.is_file() for path in (here / "tarnix2018.exe", here / "tarnix2018.jar", runtime)],
                     [True] * 3)
    if row.package == "awkward":
        seen["runtime"] = (subprocess.run(["diff", "-r", HOME / "linked-runtime", here / "Java"]).returncode, 0)
    entry = wine.entries(package_file)
    seen["entry"] = ([entry.get(value) for value in ("DisplayName", "Publisher", "DisplayVersion", "InstallLocation",
                                                     "NoModify", "NoRepair")],
                     ["Tarnix Cadastro 2018", "Velmora", "1.0.0", folder + "\\", "dword:00000001", "dword:00000001"])
    desktop = list((wine.drive_c / "users").glob("*/Desktop/Tarnix Cadastro 2018.lnk"))
    seen["desktop"] = (len(desktop), int(row.desktop))
    link = next((wine.drive_c / "ProgramData").rglob("Tarnix Cadastro 2018.lnk"), None) or next(
        (wine.drive_c / "users").rglob("Tarnix Cadastro 2018.lnk"))
    record, answer = wine.drive_c / "package-record.txt", wine.work / "shortcut.txt"
    record.unlink(missing_ok=True)
    wine.run(BUILD / "tests" / "shortcut_probe.exe", wine.windows_path(link), "--open", output=answer,
             TARNIX_STAND_IN_RECORD="C:\\package-record.txt")
    seen["shortcut"] = (answer.read_text(encoding="utf-8").replace("\r", ""),
                        f"target={folder}\\tarnix2018.exe\narguments=\ndirectory={folder}\\\n")
    for _ in range(100):  # the runtime the shell started writes what it was given
        if record.exists() and record.stat().st_size:
            break
        time.sleep(0.1)
    text = record.read_bytes().decode("utf-16").replace("\r", "") if record.exists() else ""
    started = dict(line.split("=", 1) for line in text.splitlines() if "=" in line)
    seen["started"] = ([started.get("command"), started.get("directory")],
                       [f'"{folder}\\Java\\bin\\Javaw.exe" -Xmx768m -jar "{folder}"\\tarnix2018.jar', folder])
    seen["removed"] = (wine.msiexec("/x", package_file), 0)
    if row.holds == "later":
        seen["by hand"] = ([sorted(str(path.relative_to(here)) for path in here.rglob("*")),
                            wine.run("reg", "query", KEY + "\\MadeFolders", "/v", folder, "/reg:32")],
                           [["Java", "Java/bin", "Java/bin/Javaw.exe"], 0])
        shutil.rmtree(here)
        wine.run("reg", "delete", VENDOR, "/f", "/reg:32")
    seen["leftovers"] = (wine.leftovers(here, map(prebuilt, INSTALLED)), [])
    return seen


@pytest.mark.parametrize("row, check", of_part("installs", INSTALLS, INSTALL_CHECKS))
def test_install(wine, row, check):
    seen, expected = observed(wine, row, installed, check)
    assert seen == expected


def refused(wine, row, here, foreign):
    missing, package_file = here and first_missing(here), prebuilt(row.package)
    reason, _, at_fault = row.refusal.partition("=")
    worded_box = dict(table(package_file, "LaunchCondition"))[REFUSED.format(reason)]
    # Wine gives a folder of mode 0777 to Everyone, the trustee at fault.
    for name, value in (("InstallDirRefusalFolder", at_fault), ("InstallDirRefusalArgument", f'"{at_fault}"'),
                        ("InstallDirRefusalTrustee", "S-1-1-0"),
                        ("ProgramFilesFolder", "C:\\Program Files (x86)\\")):
        worded_box = worded_box.replace(f"[{name}]", value)
    return {"box": (wine.box(make_locale("ru_RU.UTF-8"), row.locale, package_file, *row.properties()),
                    (67, worded_box)),
            "nothing": ([wine.entry(package_file, "DisplayName"), here and (here / "tarnix2018.exe").exists(),
                         here and first_missing(here)], ["", here and False, missing]),
            "foreign": (foreign and foreign.read_bytes() == STAND_IN.read_bytes(), True)}


@pytest.mark.parametrize("row, check", of_part("refusals-1", REFUSALS[0::2], REFUSAL_CHECKS)
                         + of_part("refusals-2", REFUSALS[1::2], REFUSAL_CHECKS))
def test_refusal(wine, row, check):
    seen, expected = observed(wine, row, refused, check)
    assert seen == expected


installs_part = pytest.mark.skipif(PART not in (None, "installs"), reason="of the installs part")


@pytest.fixture(scope="module")
def network(wine):
    """A silent install to a network folder, and its uninstall. Wine collapses the leading \\\\ into a folder of
    the current drive: only the status and the launch conditions say something."""
    try:
        installed = wine.msiexec("/i", prebuilt("old"), "INSTALLDIR=\\\\tarnix-server\\share\\Tarnix Rede",
                                 cwd=wine.drive_c), "LaunchConditions. Return value 1" in wine.logged()
    finally:
        uninstalled = wine.msiexec("/x", prebuilt("old"), cwd=wine.drive_c)
        remove(wine.drive_c / "tarnix-server")
    return installed, uninstalled


@installs_part
def test_a_silent_install_to_a_network_folder_passes_the_launch_conditions(network):
    assert network[0] == (0, True)


@installs_part
def test_and_uninstalls(network):
    assert network[1] == 0


@pytest.fixture(scope="module")
def central_european(wine):
    """C:\\Tarnix ł installed on a Western system, then under code page 1250, and uninstalled."""
    old, folder, given = prebuilt("old"), wine.drive_c / "Tarnix ł", "INSTALLDIR=C:\\Tarnix ł"
    western = wine.msiexec("/i", old, given), re.findall(r"refused \(codepage\): C:.Tarnix [^\r\n]*", wine.logged())
    polish = {"LOCPATH": make_locale("pl_PL.UTF-8"), "LC_ALL": "pl_PL.UTF-8"}
    try:
        under_1250 = [wine.msiexec("/i", old, given, **polish), (folder / "tarnix2018.exe").is_file()]
    finally:
        under_1250 += [wine.msiexec("/x", old, **polish), folder.exists()]
        remove(folder)
    return western, under_1250


@installs_part
def test_on_a_western_system_a_name_of_code_page_1250_is_refused_its_log_naming_it_by_code_point(central_european):
    assert central_european[0] == (67, ["refused (codepage): C:\\Tarnix <U+0142>"])


@installs_part
def test_under_code_page_1250_it_installs_and_uninstalls(central_european):
    assert central_european[1] == [0, True, 0, False]
