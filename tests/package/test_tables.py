"""The built package's tables, read without installing it: the icon, the
checksums, the folder's lock, the properties the elevated install gets, the
shortcuts' keys, the folder check's place in the sequences, the launch
conditions, short names and file versions."""
import os
import pathlib
import re
import subprocess

import pytest

from conftest import BUILD, REFUSED, ROOT, Wine, extracted, listed, table, work_folder
from database import long_name
from packages import HOME, prebuilt

# Every reason the folder check gives, and where it is said, from its one table in the source.
REASONS = re.findall(r'\{Refusal::\w+,\s*L"(\w+)",\s*Said::(\w+)',
                     (ROOT / "packaging" / "folder_check" / "refusal.h").read_text(encoding="utf-8"))
RIGHTS = {"FA": 0x1F01FF, "GA": 0x10000000, "GW": 0x40000000, "FW": 0x120116, "FR": 0x120089, "FX": 0x1200A0,
          "WD": 0x40000, "WO": 0x80000, "SD": 0x10000}


@pytest.fixture(scope="module")
def msi():
    """The packages this part reads, by name. (msiinfo leaves a table's streams where it runs: in this part's
    work folder.)"""
    os.chdir(work_folder("tables"))
    return {name: prebuilt(name) for name in ("old", "awkward", "lower", "own-icon")}


def test_the_package_carries_the_neutral_icon_unless_given_one(msi):
    neutral = subprocess.run(["/usr/bin/python3", ROOT / "packaging" / "neutral-icon.py", "/dev/stdout"],
                             capture_output=True, check=True).stdout
    assert extracted(msi["old"], "Icon.Tarnix.ico") == neutral


def test_a_package_built_with_its_own_icon_carries_that_icon(msi):
    assert extracted(msi["own-icon"], "Icon.Tarnix.ico") == (HOME / "own.ico").read_bytes()


def test_the_checksums_of_both_packages_built_into_one_folder_verify_there(msi):
    assert listed(HOME / "dist") == ["tarnix2018-1.0.0.msi", "tarnix2018-1.1.0.msi"]


def test_the_folder_is_locked_protected_system_and_administrators_full_users_read_and_run_not_on_a_network(msi):
    assert table(msi["old"], "LockPermissions") == [], "a LockPermissions table beside MsiLockPermissionsEx"
    assert ["INSTALLDIR", "Launcher"] in table(msi["old"], "CreateFolder")
    (lock,) = table(msi["old"], "MsiLockPermissionsEx")
    assert lock[1:3] == ["INSTALLDIR", "CreateFolder"] and lock[4] == 'NOT (INSTALLDIR << "\\\\")'
    dacl = re.fullmatch(r"D:([A-Z]*)((?:\([^)]*\))+)", lock[3])
    assert dacl and "P" in dacl[1], f"not a protected DACL: {lock[3]}"
    granted = {}
    for kind, flags, rights, _, _, trustee in (ace.split(";") for ace in re.findall(r"\(([^)]*)\)", dacl[2])):
        assert kind != "A" or ("OI" in flags and "CI" in flags), "an ACE not inherited by files and folders"
        mask = int(rights, 16) if rights.startswith("0x") else sum(RIGHTS[rights[i:i + 2]]
                                                                   for i in range(0, len(rights), 2))
        if kind == "A":
            granted[trustee] = granted.get(trustee, 0) | mask
    assert granted == {"SY": 0x1F01FF, "BA": 0x1F01FF, "BU": 0x1200A9}


def test_each_shortcut_s_component_is_keyed_by_an_hkmu_value_and_writes_no_other_root(msi):
    components, registry = {row[0]: row for row in table(msi["old"], "Component")}, table(msi["old"], "Registry")
    for shortcut in table(msi["old"], "Shortcut"):
        component = components[shortcut[3]]
        assert int(component[3]) & 4 and [row[1] for row in registry if row[0] == component[5]] in (["-1"], ["1"])
        assert {row[1] for row in registry if row[5] == component[0]} <= {"-1", "1"}


def test_the_folder_check_runs_in_both_sequences_after_what_sets_its_inputs_before_launch_conditions(msi):
    actions = {row[0]: row[1:4] for row in table(msi["old"], "CustomAction")}
    assert actions["CheckInstallFolder"] == ["1", "FolderCheck", "CheckInstallFolder"]
    # Deferred as SYSTEM (3073); the rollback in-script and rollback only (3393); the removal commit only (3649).
    types = {"KeepInstalledFolder": "1", "MakeInstallFolder": "3073", "MakeInstallFolderRollback": "3393",
             "VerifyInstallFolder": "3073", "RemoveMadeFolders": "3649"}
    assert {name: actions[name][0] for name in types} == types
    assert "FolderCheck" in [row[0] for row in table(msi["old"], "Binary")]
    # What it reads: INSTALLDIR, the remembered folder and the upgrade found.
    inputs = {name for name, row in actions.items() if row[:2] == ["51", "INSTALLDIR"]}
    for sequence_table in ("InstallUISequence", "InstallExecuteSequence"):
        sequence = {row[0]: (row[1], int(row[2])) for row in table(msi["old"], sequence_table)}
        condition, number = sequence["CheckInstallFolder"]
        assert condition == "NOT Installed AND NOT WIX_DOWNGRADE_DETECTED"
        assert [name for name in inputs | {"AppSearch", "FindRelatedProducts"}
                if name in sequence and sequence[name][1] >= number] == []
        assert sequence["LaunchConditions"][1] > number


def test_no_condition_compares_with_a_substring_operator_against_what_may_be_empty(msi):
    # A property left empty would turn such a comparison true.
    texts = [row[0] for row in table(msi["old"], "LaunchCondition")]
    texts += [row[1] for name in ("InstallUISequence", "InstallExecuteSequence") for row in table(msi["old"], name)]
    texts += [row[4] for name in ("Component", "MsiLockPermissionsEx") for row in table(msi["old"], name)]
    assert [text for text in texts for match in re.finditer(r'~?(<<|>>|><)\s*(\S+)', text)
            if not match[2].startswith('"')] == []


def test_every_reason_the_folder_check_gives_has_a_launch_condition_with_its_message(msi):
    conditions = {row[0]: row[1] for row in table(msi["old"], "LaunchCondition")}
    maintenance = 'NOT Installed OR InstallDirRefusal <> "{}"'
    assert len(REASONS) >= 25, "the reasons were not read from refusal.h"
    assert [reason for reason, said in REASONS
            if said in ("LaunchCondition", "MaintenanceCondition")
            and not conditions.get((REFUSED if said == "LaunchCondition" else maintenance).format(reason))] == []
    assert conditions.get('Installed OR WIX_DOWNGRADE_DETECTED OR InstallDirAccepted = "1" OR InstallDirRefusalShown = "1"')


# Each box's command as the administrator reads it, for C:\Tarnix Cadastro (the owner, writable and inherited boxes).
COMMANDS = ['icacls "C:\\Tarnix Cadastro" /setowner "*S-1-5-32-544"', 'icacls "C:\\Tarnix Cadastro" /remove:g "*S-1-1-0"',
            'icacls "C:\\Tarnix Cadastro" /inheritance:r /grant:r "*S-1-5-18:(OI)(CI)F" "*S-1-5-32-544:(OI)(CI)F" '
            '"*S-1-5-32-545:(OI)(CI)RX"']


# The folder as the check gives it to a command (its unit rows pin the same): quoted, a root's backslash doubled.
@pytest.mark.parametrize("folder, argument", [("C:\\Tarnix Cadastro", '"C:\\Tarnix Cadastro"'), ("D:\\", '"D:\\\\"')])
def test_every_box_s_command_splits_as_typed_with_the_folder_whole_as_its_first_argument(msi, folder, argument):
    wine, typed = Wine(pathlib.Path.cwd()), pathlib.Path.cwd() / "command.txt"
    commands = [command.replace("[InstallDirRefusalArgument]", argument)
                .replace("[InstallDirRefusalTrustee]", "S-1-1-0").replace("[InstallDirRefusalFolder]", folder)
                for _, message in table(msi["old"], "LaunchCondition")
                for command in re.findall(r"icacls .*?(?=\) e execute)", message)]
    assert sorted(commands) == sorted(command.replace('"C:\\Tarnix Cadastro"', argument) for command in COMMANDS)
    for command in commands:
        typed.write_text(command, encoding="utf-16-le")
        wine.run(BUILD / "tests" / "argv_probe.exe", typed, output=typed.with_suffix(".out"))
        assert typed.with_suffix(".out").read_bytes().decode("utf-16-le").split("\n")[:2] == ["icacls", folder], command


def test_every_refusal_keyword_has_its_row_in_the_administrators_page():
    page = (ROOT / "packaging" / "README.md").read_text(encoding="utf-8")
    assert {reason for reason, _ in REASONS} - set(re.findall(r"^\| `([a-z]+)` \|", page, re.MULTILINE)) == set()


def test_every_short_name_of_the_awkward_runtime_s_package_is_8_3_and_unique_in_its_folder(msi):
    valid = re.compile(r"[A-Z0-9!#$%&'()@^_`{}~-]{1,8}(\.[A-Z0-9!#$%&'()@^_`{}~-]{1,3})?", re.IGNORECASE)
    folder_of = {row[0]: row[2] for row in table(msi["awkward"], "Component")}
    names = [(row[1], row[2]) for row in table(msi["awkward"], "Directory") if row[2] not in (".", "SourceDir")]
    names += [(folder_of[row[1]], row[2]) for row in table(msi["awkward"], "File")]
    names += [(row[1], row[2]) for row in table(msi["awkward"], "Shortcut")]
    shorts = [(folder, name.split("|")[0].upper()) for folder, name in names]
    assert [name for _, name in shorts if not valid.fullmatch(name)] == [] and len(set(shorts)) == len(shorts)


def test_a_versioned_dll_has_its_version_and_language_and_no_hash(msi):
    hashed = {row[0] for row in table(msi["lower"], "MsiFileHash")}
    assert sorted((long_name(row[2]), row[4], row[5], row[0] in hashed) for row in table(msi["lower"], "File")) == [
        ("javaw.exe", "", "", True), ("msvcrt.dll", "7.0.2600.2180", "1033", False),
        ("tarnix2018.exe", "", "", True), ("tarnix2018.jar", "", "", True)]


# A cell of the built package's tables (table, key, column): what the folder check reads, and what Wine cannot show.
@pytest.mark.parametrize("name, key, column, value", [
    pytest.param("Property", "SecureCustomProperties", 1,
                 "WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;INSTALLDIR;DESKTOP_SHORTCUT;JAVA_REQUIRED",
                 id="every property the administrators' page documents reaches the elevated install"),
    pytest.param("Property", "ARPNOMODIFY", 1, "1", id="Programs and Features offers no Change"),
    pytest.param("Property", "ARPNOREPAIR", 1, "1", id="Programs and Features offers no Repair"),
    pytest.param("Property", "REINSTALLMODE", 1, "amus", id="every file is the newer build's whatever the copy in "
                 "place claims (Wine copies every file in either mode: only the table shows it)"),
    pytest.param("Property", "PackageFolders", 1, "Java|Java\\bin", id="the package's folders, as the folder check reads them"),
    pytest.param("Property", "PackageReach", 1, "18 8", id="its longest file and deepest folder, as the check reads them"),
    pytest.param("InstallExecuteSequence", "RemoveFiles", 2, "3800", id="a move's removals after the make and second look"),
    pytest.param("InstallExecuteSequence", "RemoveMadeFolders", 1,
                 '(REMOVE ~= "ALL" AND NOT UPGRADINGPRODUCTCODE) OR (WIX_UPGRADE_DETECTED AND NOT Installed)',
                 id="an upgrade takes the older version's made folders at its commit (Wine: only the table shows it)"),
    pytest.param("Component", "MovedFiles", 3, "64", id="the move's removals transitive: a repair, which runs no "
                 "check, takes them away instead of running them again (Wine: only the table shows it)"),
    pytest.param("Directory", "InstallDirMovedFrom", 1, "INSTALLDIR",
                 id="the move's removals rooted at the installation folder itself where the check set nothing"),
])
def test_package_cell(msi, name, key, column, value):
    assert {row[0]: row for row in table(msi["old"], name)}[key][column] == value


def test_the_move_removes_the_older_folders_deepest_first_as_windows_installer_reads_its_rows_in_key_order(msi):
    # Wine removes a parent later whatever the order: only the table shows it.
    parent = {row[0]: row[1] for row in table(msi["awkward"], "Directory")}
    depth = lambda folder: 0 if folder == "InstallDirMovedFrom" else 1 + depth(parent[folder])
    depths = [depth(row[3]) for row in sorted(table(msi["awkward"], "RemoveFile")) if row[1:3] == ["MovedFiles", ""]]
    assert len(depths) > 3 and depths == sorted(depths, reverse=True) and depths[-1] == 0
