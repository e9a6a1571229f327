#!/usr/bin/env python3
"""The steps of scripts/package that bash does badly: staging the runtime
tree, generating its WiX source, deriving the package's codes, finishing the
tables wixl cannot write, and checking the built tables against the staged
tree. Each subcommand fails with one line "package: ..." and status 1.

  package.py stage-runtime SOURCE DEST    copy the tree, links followed
  package.py runtime-wxs FOLDER           WiX source of FOLDER/Java
  package.py codes FOLDER VERSION TIME SOURCE...   product and package codes
  package.py finish MSI STATEMENTS TIME PACKAGE_CODE   the tables wixl cannot write
  package.py check MSI FOLDER             File table against the staged files
"""
import hashlib
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import time
import uuid
from xml.sax.saxutils import quoteattr

# The package's one ANSI code page: every name and text in it must fit.
CODE_PAGE = "cp1252"
# Name-based identifiers of this product live under one namespace.
NAMESPACE = uuid.UUID("58915C60-5E7A-47CF-BB86-62FF72C6BDF9")
WINDOWS_FORBIDDEN = set('<>:"/\\|?*') | {chr(c) for c in range(32)}
DEVICE_NAMES = {"CON", "PRN", "AUX", "NUL"} | {f"{d}{n}" for d in ("COM", "LPT") for n in range(1, 10)}
# Characters a short (8.3) name may hold besides letters and digits.
SHORT_EXTRA = set("!#$%&'()-@^_`{}~")


def fail(message):
    print(f"package: {message}", file=sys.stderr)
    sys.exit(1)


def listing(paths, limit=5):
    shown = ", ".join(str(p) for p in paths[:limit])
    return shown + (f" and {len(paths) - limit} more" if len(paths) > limit else "")


# --- stage-runtime -----------------------------------------------------------


def refuse_any(source, problems):
    """Fails on the first kind of problem found, (paths, what they are),
    naming its paths."""
    for paths, what in problems:
        if paths:
            fail(f"the runtime folder {source} holds {what}: {listing(paths)}")


def walk_following_links(source):
    """(relative path, real file) for every file below source, links
    followed; fails naming a broken link, a loop or an unusual file."""
    files, broken, loops, odd = [], [], [], []

    def visit(folder, relative, ancestors):
        for entry in sorted(os.scandir(folder), key=lambda e: e.name):
            path = pathlib.Path(entry.path)
            rel = relative / entry.name
            if not path.exists():
                broken.append(rel)
            elif path.is_dir():
                real = path.resolve()
                if real in ancestors:
                    loops.append(rel)
                else:
                    visit(path, rel, ancestors | {real})
            elif path.is_file():
                files.append((rel, path))
            else:
                odd.append(rel)

    root = pathlib.Path(source).resolve()
    visit(root, pathlib.PurePosixPath(), {root})
    refuse_any(source, [(broken, "links to nothing"), (loops, "links that loop"),
                        (odd, "what is neither file nor folder")])
    return files


def unusable_names(relative_paths):
    """The paths whose names Windows or the package's code page cannot hold,
    and the pairs that only letter case tells apart."""
    outside, forbidden, clashes, seen = [], [], [], {}
    for rel in relative_paths:
        for depth, part in enumerate(rel.parts):
            prefix = pathlib.PurePosixPath(*rel.parts[: depth + 1])
            try:
                part.encode(CODE_PAGE)
            except UnicodeEncodeError:
                outside.append(prefix)
            if (set(part) & WINDOWS_FORBIDDEN or part[-1] in ". "
                    or part.split(".")[0].upper() in DEVICE_NAMES):
                forbidden.append(prefix)
            folded = str(prefix).casefold()
            if seen.setdefault(folded, prefix) != prefix:
                clashes.append(prefix)
    unique = lambda paths: sorted(set(paths))
    return unique(outside), unique(forbidden), unique(clashes)


def stage_runtime(source, destination):
    if not os.path.isdir(source):
        fail(f"the runtime folder {source} is not a folder")
    files = walk_following_links(source)
    outside, forbidden, clashes = unusable_names([rel for rel, _ in files])
    refuse_any(source, [(outside, "names outside the package's code page (Windows-1252)"),
                        (forbidden, "names Windows does not allow"),
                        (clashes, "names that differ only in letter case")])
    if not any(str(rel).lower() == "bin/javaw.exe" for rel, _ in files):
        fail(f"the runtime folder {source} has no bin\\Javaw.exe")
    for rel, real in files:
        target = pathlib.Path(destination) / rel
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(real, target)


# --- runtime-wxs -------------------------------------------------------------


def identifier(kind, relative):
    # From the path inside the package alone: not the staging folder, not
    # the order a file system lists a folder in.
    return kind + hashlib.sha1(f"{kind}:{relative}".encode()).hexdigest().upper()


def component_guid(relative):
    # Stable for a path across versions, as the component rules want.
    return str(uuid.uuid5(NAMESPACE, f"runtime file {relative.lower()}")).upper()


def runtime_wxs(folder):
    root = pathlib.Path(folder)
    lines = ['<?xml version="1.0" encoding="utf-8"?>',
             '<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">',
             "  <Fragment>", '    <DirectoryRef Id="INSTALLDIR">']
    components = []

    def emit(path, relative, depth):
        pad = "  " * depth
        name = quoteattr(path.name.replace("$", "$$"))
        lines.append(f'{pad}<Directory Id="{identifier("D", relative)}" Name={name}>')
        for child in sorted(path.iterdir(), key=lambda p: p.name):
            child_relative = f"{relative}/{child.name}"
            if child.is_dir():
                emit(child, child_relative, depth + 1)
                continue
            component = identifier("C", child_relative)
            components.append(component)
            source = quoteattr(str(child.relative_to(root)).replace("$", "$$"))
            lines.append(f'{pad}  <Component Id="{component}" Guid="{component_guid(child_relative)}">')
            name = quoteattr(child.name.replace("$", "$$"))
            lines.append(f'{pad}    <File Id="{identifier("F", child_relative)}" '
                         f'Name={name} Source={source} KeyPath="yes"/>')
            lines.append(f"{pad}  </Component>")
        lines.append(f"{pad}</Directory>")

    emit(root / "Java", "Java", 3)
    lines += ["    </DirectoryRef>", '    <ComponentGroup Id="Runtime">']
    lines += [f'      <ComponentRef Id="{c}"/>' for c in components]
    lines += ["    </ComponentGroup>", "  </Fragment>", "</Wix>", ""]
    sys.stdout.write("\n".join(lines))


# --- codes -------------------------------------------------------------------


def codes(folder, version, timestamp, sources):
    """The product and package codes: one digest of every staged file (name
    and bytes), the version, the time and the packaging sources, so that
    equal inputs give one package and any difference another."""
    digest = hashlib.sha256(f"version {version}\ntime {timestamp}\n".encode())
    root = pathlib.Path(folder)
    staged = sorted(p for p in root.rglob("*") if p.is_file())
    named = [(str(p.relative_to(root)), p) for p in staged]
    named += [(f"source {pathlib.Path(s).name}", pathlib.Path(s)) for s in sources]
    for name, path in named:
        with open(path, "rb") as stream:
            content = hashlib.file_digest(stream, "sha256").hexdigest()
        digest.update(f"{name}\0{content}\n".encode())
    value = digest.hexdigest()
    for kind in ("product", "package"):
        print(str(uuid.uuid5(NAMESPACE, f"{kind} {value}")).upper())


# --- tables ------------------------------------------------------------------


def export_table(msi, table):
    exported = subprocess.run(["msiinfo", "export", msi, table], check=True, capture_output=True)
    lines = exported.stdout.decode("utf-8").split("\r\n")
    header = lines[:3]
    rows = [line.split("\t") for line in lines[3:] if line]
    return header, rows


def files_with_folders(msi):
    """The File table, and the Directory of each file (through its component)."""
    header, files = export_table(msi, "File")
    component_folder = {row[0]: row[2] for row in export_table(msi, "Component")[1]}
    return header, files, {row[0]: component_folder[row[1]] for row in files}


def write_table(folder, table, header, rows):
    """The table as a file for msibuild -i; its name as the option's value."""
    text = "\r\n".join(header + ["\t".join(row) for row in rows]) + "\r\n"
    with open(f"{folder}/{table}.idt", "w", encoding="utf-8", newline="") as stream:
        stream.write(text)
    return ["-i", f"{table}.idt"]


def is_short_name(name):
    base, dot, extension = name.rpartition(".") if "." in name else (name, "", "")
    allowed = lambda text: all(c.isascii() and (c.isalnum() or c in SHORT_EXTRA) for c in text)
    return (0 < len(base) <= 8 and len(extension) <= 3 and (not dot or extension)
            and allowed(base) and allowed(extension))


class ShortNames:
    """Short (8.3) names unique within each folder, as Windows would make
    them: BASE~N.EXT, the base shortened as N grows."""

    def __init__(self):
        self.taken = {}

    def reserve(self, folder, name):
        if is_short_name(name):
            self.taken.setdefault(folder, set()).add(name.upper())

    def filename(self, folder, name):
        """The column's text: the name alone when it is a short name, else
        short|long."""
        if is_short_name(name):
            return name
        keep = lambda text: "".join(c for c in text.upper() if c.isascii() and (c.isalnum() or c in SHORT_EXTRA))
        base, _, extension = name.rpartition(".") if "." in name.strip(".") else (name, "", "")
        base, extension = keep(base) or "F", keep(extension)[:3]
        taken = self.taken.setdefault(folder, set())
        for number in range(1, 1000000):
            tail = f"~{number}"
            candidate = base[: 8 - len(tail)] + tail + (f".{extension}" if extension else "")
            if candidate not in taken:
                taken.add(candidate)
                return f"{candidate}|{name}"
        raise RuntimeError("no short name left")


def write_short_names(msi, folder):
    """Every file, folder and shortcut name as short|long: Windows Installer
    needs the short name on volumes and under SHORTFILENAMES=1."""
    files_header, files, file_folder = files_with_folders(msi)
    directories_header, directories = export_table(msi, "Directory")
    shortcuts_header, shortcuts = export_table(msi, "Shortcut")
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
    return (write_table(folder, "File", files_header, files)
            + write_table(folder, "Directory", directories_header, directories)
            + write_table(folder, "Shortcut", shortcuts_header, shortcuts))


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


def finish(msi, statements, timestamp, package_code):
    """What wixl leaves out or gets wrong, applied in one rewrite of the
    database: the statements of a file (one a line, -- comments), short
    names, same-version upgrades, the summary and the code page."""
    msi = os.path.abspath(msi)
    with open(statements, encoding="utf-8") as stream:
        queries = [line.strip() for line in stream if line.strip() and not line.startswith("--")]
    with tempfile.TemporaryDirectory() as folder:
        options = [option for query in queries for option in ("-q", query)]
        options += write_short_names(msi, folder)
        options += allow_same_version_upgrades(msi, folder)
        options += summary(msi, folder, timestamp, package_code)
        # The texts are Windows-1252: said so, not left to the system's locale.
        options += write_table(folder, "_ForceCodepage", ["", "", "1252\t_ForceCodepage"], [])
        # Times in the summary are read as local time.
        subprocess.run(["msibuild", msi, *options], check=True, cwd=folder, env=dict(os.environ, TZ="UTC"))


def check(msi, folder):
    """Every staged file is a row of the File table under its own path, and
    no row is anything else: a silent drop or rename is a build error."""
    _, files, file_folder = files_with_folders(msi)
    parent = {row[0]: (row[1], row[2].split("|")[-1]) for row in export_table(msi, "Directory")[1]}

    def path_of(directory):
        if directory == "INSTALLDIR":
            return pathlib.PurePosixPath()
        up, name = parent[directory]
        return path_of(up) / name

    in_table = sorted(str(path_of(file_folder[row[0]]) / row[2].split("|")[-1]) for row in files)
    root = pathlib.Path(folder)
    staged = sorted(str(p.relative_to(root)) for p in root.rglob("*") if p.is_file())
    if in_table != staged:
        missing = sorted(set(staged) - set(in_table))
        extra = sorted(set(in_table) - set(staged))
        fail(f"the package's File table differs from the staged files ({len(in_table)} rows, "
             f"{len(staged)} files): missing {listing(missing) or 'none'}; unexpected {listing(extra) or 'none'}")


def main(arguments):
    command, rest = arguments[0], arguments[1:]
    if command == "stage-runtime":
        stage_runtime(*rest)
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
    main(sys.argv[1:])
