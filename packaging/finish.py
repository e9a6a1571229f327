"""What wixl leaves out or gets wrong, applied in one rewrite of the built
database."""
import os
import pathlib
import re
import subprocess
import tempfile
import time

from database import export_table, file_paths, files_with_folders, folder_paths, write_table
from file_versions import version_of
from moved import HEADER as MOVED_HEADER, moved_files
from short_names import ShortNames


def write_short_names_and_versions(msi, folder, stage):
    """Every file, folder and shortcut name as short|long (Windows Installer
    needs the short name on volumes and under SHORTFILENAMES=1), and each
    file's version and languages from its version resource; a versioned
    file loses its hash row, which is for unversioned files. The names are
    also those a moving upgrade takes out of the older folder (moved.py)."""
    files_header, files, file_folder = files_with_folders(msi)
    directories_header, directories = export_table(msi, "Directory")
    shortcuts_header, shortcuts = export_table(msi, "Shortcut")
    paths = file_paths(msi, files, file_folder)
    versioned = set()
    for row in files:
        found = version_of(os.path.join(stage, paths[row[0]]))
        if found:
            row[4], row[5] = found
            versioned.add(row[0])
    hashes_header, hashes = export_table(msi, "MsiFileHash")
    names = ShortNames()
    # Folder names that are short already are taken before any is made.
    named_directories = [row for row in directories if row[2] not in (".", "SourceDir")]
    # (the folder it is in, its row); the name is the third column in all three tables
    entries = ([(row[1], row) for row in named_directories]
               + [(file_folder[row[0]], row) for row in files]
               + [(row[1], row) for row in shortcuts])
    for parent, row in entries:
        names.reserve(parent, row[2])
    for parent, row in sorted(entries, key=lambda entry: (entry[0], entry[1][2], entry[1][0])):
        row[2] = names.filename(parent, row[2])
    copies, removals = moved_files(directories, files, file_folder)
    # The desktop shortcut goes at every install and comes back only where it
    # is chosen: an upgrade that turns it off leaves none, whatever the older
    # version's removal keeps (Wine keeps a component the newer version leaves out).
    short, _, long = next(row for row in shortcuts if row[0] == "DesktopShortcut")[2].rpartition("|")
    name = f"{short}.LNK|{long}.lnk" if short else f"{long}.lnk"
    removals.append(["DesktopShortcutFirst", "StartMenuShortcut", name, "DesktopFolder", "1"])
    options = (write_table(folder, "File", files_header, files)
               + write_table(folder, "Directory", directories_header, directories + copies)
               + write_table(folder, "RemoveFile", MOVED_HEADER, removals)
               + write_table(folder, "Shortcut", shortcuts_header, shortcuts))
    if hashes_header:
        options += write_table(folder, "MsiFileHash", hashes_header,
                               [row for row in hashes if row[0] not in versioned])
    return options


def allow_same_version_upgrades(msi, folder):
    """A rebuild of the same version is a product of its own (its code
    follows from its contents) that replaces the installed build: the upper
    version bound of the upgrade search becomes inclusive. A key column, so
    not for SQL's UPDATE."""
    header, rows = export_table(msi, "Upgrade")
    for row in rows:
        if row[6] == "WIX_UPGRADE_DETECTED":
            row[4] = str(int(row[4]) | 0x200)  # msidbUpgradeAttributesVersionMaxInclusive
    return write_table(folder, "Upgrade", header, rows)


def summary(msi, folder, timestamp, package_code):
    """The summary with the package code and one fixed time for created and
    saved, the code page and template set; the rest as wixl wrote it."""
    header, rows = export_table(msi, "_SummaryInformation")
    saved = time.strftime("%Y/%m/%d %H:%M:%S", time.gmtime(int(timestamp)))
    values = dict(rows)
    values.update({
        "1": "1252",
        # The product's language (Brazilian Portuguese) must be the template's.
        "7": "Intel;1046",
        "9": "{" + package_code + "}",
        "12": saved,  # created
        "13": saved,  # last saved
    })
    return write_table(folder, "_SummaryInformation", header,
                       [[key, values[key]] for key in sorted(values, key=int)])


def package_layout(msi, folder):
    """The package's folders below INSTALLDIR and how far it reaches (its
    longest file's and deepest folder's paths' lengths), as the folder check
    reads them at install: worked out here, once, from the tables it is
    laid out by. '|', which no name holds, between the folders."""
    _, files, file_folder = files_with_folders(msi)
    below = folder_paths(msi)
    folders = sorted({str(pathlib.PureWindowsPath(path)) for path in below.values() if str(path) != "."})
    longest = max(len(str(path)) for path in file_paths(msi, files, file_folder, below).values())
    header, rows = export_table(msi, "Property")
    # A property is never empty: a package without folders writes none.
    rows += [["PackageReach", f"{longest} {max((len(path) for path in folders), default=0)}"]]
    rows += [["PackageFolders", "|".join(folders)]] if folders else []
    return write_table(folder, "Property", header, rows)


# The bits of a custom action's type, as Microsoft's msidbCustomActionType names them.
ACTION_TYPE_BITS = {"Dll": 0x1, "TextData": 0x3, "SourceProperty": 0x30, "Continue": 0x40, "Rollback": 0x100,
                    "Commit": 0x200, "InScript": 0x400, "NoImpersonate": 0x800}


def with_action_types(statement):
    """The statement with each {Bit|Bit} written as the type those bits make."""
    return re.sub(r"\{([A-Za-z|]+)\}", lambda bits: str(sum(ACTION_TYPE_BITS[bit] for bit in bits[1].split("|"))),
                  statement)


def finish(msi, statements, stage, timestamp, package_code):
    """The statements of a file (one a line, -- comments), short names and
    file versions, same-version upgrades, the summary and the code page."""
    msi = os.path.abspath(msi)
    with open(statements, encoding="utf-8") as stream:
        queries = [with_action_types(line.strip()) for line in stream if line.strip() and not line.startswith("--")]
    with tempfile.TemporaryDirectory() as folder:
        options = write_short_names_and_versions(msi, folder, stage)
        options += allow_same_version_upgrades(msi, folder)
        options += package_layout(msi, folder)
        options += summary(msi, folder, timestamp, package_code)
        # The texts are Windows-1252: said so, not left to the system's locale.
        options += write_table(folder, "_ForceCodepage", ["", "", "1252\t_ForceCodepage"], [])
        # After the tables imported whole, which the statements add to.
        options += [option for query in queries for option in ("-q", query)]
        # Times in the summary are read as local time.
        subprocess.run(["msibuild", msi, *options], check=True, cwd=folder, env=dict(os.environ, TZ="UTC"))
