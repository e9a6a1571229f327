#!/usr/bin/env python3
"""Reads a built package's tables for the package tests; exits 1, saying why,
when what it checks does not hold.

  tables.py lock MSI           the folder lock: protected, SYSTEM and
                               Administrators full, Users read and run, no
                               other writer, on INSTALLDIR's CreateFolder row,
                               not on a network folder
  tables.py shortcut-keys MSI  each shortcut's component keyed by an HKCU or
                               HKMU value, with no value of another root
  tables.py short-names MSI    every short name a valid 8.3 name, unique in
                               its folder
  tables.py files MSI          each file: name, version, language, hash row
  tables.py folder-check MSI   the folder check: an immediate DLL action in
                               both sequences, after every action that sets
                               INSTALLDIR or what it reads, before
                               LaunchConditions, never on removal nor on a
                               downgrade
  tables.py refusals MSI       a launch condition, with its message, for every
                               reason the folder check gives
  tables.py keywords PAGE      a row in the administrators' page's table for
                               every refusal keyword
  tables.py operands MSI       no condition compares with <<, >> or >< against
                               anything but a quoted text, which a property
                               left empty would turn true
"""
import pathlib
import re
import subprocess
import sys

WRITE_RIGHTS = 0x40000000 | 0x10000000 | 0x2 | 0x4 | 0x10 | 0x40 | 0x100 | 0x10000 | 0x40000 | 0x80000
RIGHTS = {"FA": 0x1F01FF, "GA": 0x10000000, "GW": 0x40000000, "FW": 0x120116, "FR": 0x120089,
          "FX": 0x1200A0, "WD": 0x40000, "WO": 0x80000, "SD": 0x10000}


def rows(msi, table):
    exported = subprocess.run(["msiinfo", "export", msi, table], capture_output=True)
    if exported.returncode != 0:
        return None
    return [line.split("\t") for line in exported.stdout.decode().split("\r\n")[3:] if line]


def refuse(message):
    print(message)
    sys.exit(1)


def lock(msi):
    if rows(msi, "LockPermissions") is not None:
        refuse("a LockPermissions table beside MsiLockPermissionsEx")
    if ["INSTALLDIR", "Launcher"] not in rows(msi, "CreateFolder"):
        refuse("no CreateFolder row for INSTALLDIR")
    locks = rows(msi, "MsiLockPermissionsEx") or []
    if len(locks) != 1 or locks[0][1:3] != ["INSTALLDIR", "CreateFolder"]:
        refuse(f"not one lock on INSTALLDIR's CreateFolder row: {locks}")
    if locks[0][4] != 'NOT (INSTALLDIR << "\\\\")':
        refuse(f"the lock's condition is not 'not on a network folder': {locks[0][4]}")
    match = re.fullmatch(r"D:([A-Z]*)((?:\([^)]*\))+)", locks[0][3])
    if not match or "P" not in match.group(1):
        refuse(f"not a protected DACL: {locks[0][3]}")
    granted = {}
    for ace in re.findall(r"\(([^)]*)\)", match.group(2)):
        kind, flags, rights, _, _, trustee = ace.split(";")
        mask = int(rights, 16) if rights.startswith("0x") else sum(
            RIGHTS[rights[i:i + 2]] for i in range(0, len(rights), 2))
        if kind == "A" and "OI" in flags and "CI" in flags:
            granted[trustee] = granted.get(trustee, 0) | mask
        elif kind == "A":
            refuse(f"an ACE that is not inherited by files and folders: {ace}")
    expected = {"SY": 0x1F01FF, "BA": 0x1F01FF, "BU": 0x1200A9}
    if granted != expected:
        refuse(f"the lock grants {granted}, not {expected}")
    if any(mask & WRITE_RIGHTS for trustee, mask in granted.items() if trustee not in ("SY", "BA")):
        refuse("someone besides SYSTEM and Administrators may write")


def shortcut_keys(msi):
    components = {row[0]: row for row in rows(msi, "Component")}
    registry = rows(msi, "Registry")
    for shortcut in rows(msi, "Shortcut"):
        component = components[shortcut[3]]
        key = [row for row in registry if row[0] == component[5]]
        if not int(component[3]) & 4 or not key or key[0][1] not in ("-1", "1"):
            refuse(f"the shortcut {shortcut[0]}'s component is not keyed by an HKCU or HKMU value")
        if any(row[1] not in ("-1", "1") for row in registry if row[5] == component[0]):
            refuse(f"the shortcut {shortcut[0]}'s component writes a value of another root")


def short_names(msi):
    valid = re.compile(r"[A-Z0-9!#$%&'()@^_`{}~-]{1,8}(\.[A-Z0-9!#$%&'()@^_`{}~-]{1,3})?", re.IGNORECASE)
    folder_of = {row[0]: row[2] for row in rows(msi, "Component")}
    names = [(row[1], row[2]) for row in rows(msi, "Directory") if row[2] not in (".", "SourceDir")]
    names += [(folder_of[row[1]], row[2]) for row in rows(msi, "File")]
    names += [(row[1], row[2]) for row in rows(msi, "Shortcut")]
    seen = set()
    for folder, name in names:
        short = name.split("|")[0]
        if not valid.fullmatch(short) or (folder, short.upper()) in seen:
            refuse(f"{name} in {folder}: not a valid 8.3 name, or not unique in its folder")
        seen.add((folder, short.upper()))


def files(msi):
    hashed = {row[0] for row in rows(msi, "MsiFileHash") or []}
    for row in sorted(rows(msi, "File"), key=lambda row: row[2].split("|")[-1]):
        print(row[2].split("|")[-1], row[4] or "-", row[5] or "-", "hash" if row[0] in hashed else "no-hash")


def folder_check(msi):
    actions = {row[0]: row for row in rows(msi, "CustomAction")}
    check = actions.get("CheckInstallFolder")
    if check is None or check[1:4] != ["1", "FolderCheck", "CheckInstallFolder"]:
        refuse(f"CheckInstallFolder is not an immediate action of the Binary row FolderCheck: {check}")
    # Deferred as SYSTEM (3073); the rollback in-script and rollback only (3393).
    for action, kind in (("KeepInstalledFolder", "1"), ("MakeInstallFolder", "3073"), ("MakeInstallFolderRollback", "3393"),
                         ("VerifyInstallFolder", "3073")):
        if actions.get(action, [None, None])[1] != kind:
            refuse(f"{action} is not of type {kind}: {actions.get(action)}")
    if "FolderCheck" not in [row[0] for row in rows(msi, "Binary")]:
        refuse("no Binary row FolderCheck")
    # What it reads: INSTALLDIR, the remembered folder and the upgrade found.
    inputs = {name for name, row in actions.items() if row[1] == "51" and row[2] == "INSTALLDIR"}
    inputs |= {"AppSearch", "FindRelatedProducts"}
    for table in ("InstallUISequence", "InstallExecuteSequence"):
        sequence = {row[0]: (row[1], int(row[2])) for row in rows(msi, table)}
        if "CheckInstallFolder" not in sequence:
            refuse(f"CheckInstallFolder is not in {table}")
        condition, number = sequence["CheckInstallFolder"]
        if condition != "NOT Installed AND NOT WIX_DOWNGRADE_DETECTED":
            refuse(f"CheckInstallFolder runs in {table} on '{condition}', not on every install and upgrade only")
        late = sorted(a for a in inputs if a in sequence and sequence[a][1] >= number)
        if late or sequence["LaunchConditions"][1] <= number:
            refuse(f"CheckInstallFolder ({number}) in {table} is not after {late} and before LaunchConditions")


# Every reason the folder check gives, and where it is said, from its one
# table in the source.
RULES = pathlib.Path(__file__).resolve().parents[2] / "packaging" / "folder_check" / "refusal.h"
REASONS = re.findall(r'\{Refusal::\w+,\s*L"(\w+)",\s*Said::(\w+)', RULES.read_text(encoding="utf-8"))
CONDITIONS = {"LaunchCondition": 'Installed OR InstallDirRefusal <> "{}"',
              "MaintenanceCondition": 'NOT Installed OR InstallDirRefusal <> "{}"'}


def refusals(msi):
    conditions = {row[0]: row[1] for row in rows(msi, "LaunchCondition")}
    if len(REASONS) < 25:
        refuse(f"the reasons were not read from {RULES}: {REASONS}")
    for reason, said in REASONS:
        if said in CONDITIONS and not conditions.get(CONDITIONS[said].format(reason)):
            refuse(f"no launch condition refuses the reason {reason}")
    if not conditions.get('Installed OR WIX_DOWNGRADE_DETECTED OR InstallDirAccepted = "1" OR InstallDirRefusal'):
        refuse("no launch condition refuses an install the check did not accept")


def keywords(page):
    """Every refusal keyword, of the check and of its second look, has its
    row in the administrators' page's table."""
    with open(page, encoding="utf-8") as stream:
        rows = set(re.findall(r"^\| `([a-z]+)` \|", stream.read(), re.MULTILINE))
    missing = [reason for reason, _ in REASONS if reason not in rows]
    if missing:
        refuse(f"the page's table has no row for {missing}")


def operands(msi):
    texts = [row[0] for row in rows(msi, "LaunchCondition")]
    for table in ("InstallUISequence", "InstallExecuteSequence"):
        texts += [row[1] for row in rows(msi, table)]
    texts += [row[4] for row in rows(msi, "Component")]
    texts += [row[4] for row in rows(msi, "MsiLockPermissionsEx") or []]
    for text in texts:
        for match in re.finditer(r'~?(<<|>>|><)\s*(\S+)', text):
            if not match.group(2).startswith('"'):
                refuse(f"'{text}' compares with {match.group(1)} against {match.group(2)}, which may be empty")


def worded(msi, reason, folder, trustee):
    """The box a refusal shows, as the package words it; None where no launch condition gives the reason."""
    conditions = {row[0]: row[1] for row in rows(msi, "LaunchCondition")}
    text = conditions.get(CONDITIONS["LaunchCondition"].format(reason))
    for name, value in (("InstallDirRefusalFolder", folder), ("InstallDirRefusalTrustee", trustee),
                        ("ProgramFilesFolder", "C:\\Program Files (x86)\\")):
        text = text and text.replace(f"[{name}]", value)
    return text


if __name__ == "__main__":
    {"lock": lock, "shortcut-keys": shortcut_keys, "short-names": short_names, "files": files,
     "folder-check": folder_check, "operands": operands, "refusals": refusals,
     "keywords": keywords}[sys.argv[1]](*sys.argv[2:])
