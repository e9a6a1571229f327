"""Staging: the files to install, checked against what Windows, the
package's code page and the cabinet can hold before any is copied."""
import os
import pathlib
import shutil

from failure import fail, listing, progress

# The package's one ANSI code page: every name and text in it must fit.
CODE_PAGE = "cp1252"
WINDOWS_FORBIDDEN = set('<>:"/\\|?*') | {chr(c) for c in range(32)}
# Devices Windows finds in every folder: the name before its first dot,
# spaces before the extension trimmed, in any letter case; the installation
# folder's check refuses by the same rule.
DEVICE_NAMES = {"CON", "PRN", "AUX", "NUL"} | {f"{d}{n}" for d in ("COM", "LPT") for n in "0123456789\u00b9\u00b2\u00b3"}


def is_device_name(name):
    return name.split(".")[0].rstrip(" ").upper() in DEVICE_NAMES
# The cabinet (Microsoft's cabinet format) counts the files of a cabinet,
# and the data blocks of a folder, in 16 bits; a block holds at most 32 KiB
# before compression; wixl writes one cabinet of one folder.
CABINET_FILES = 65535
CABINET_FOLDER_BYTES = 65535 * 32768
# Windows Installer is not long-path aware: a file's full path, in the
# default folder on 64-bit Windows, within MAX_PATH less its final NUL.
DEFAULT_FOLDER = "C:\\Program Files (x86)\\Velmora\\Tarnix Cadastro 2018\\"
LONGEST_PATH = 259


def refuse_any(source, problems):
    """Fails on the first kind of problem found, (paths, what they are),
    naming its paths."""
    for paths, what in problems:
        if paths:
            fail(f"the runtime folder {source} holds {what}: {listing(paths)}")


def walk_following_links(source):
    """(relative path, real file) for every file below source, links
    followed while they stay inside it; fails naming a broken link, a loop,
    a link out of the runtime or an unusual file."""
    files, broken, loops, outside, odd = [], [], [], [], []
    root = pathlib.Path(source).resolve()

    def visit(folder, relative, ancestors):
        for entry in sorted(os.scandir(folder), key=lambda e: e.name):
            path = pathlib.Path(entry.path)
            rel = relative / entry.name
            if not path.exists():
                broken.append(rel)
                continue
            real = path.resolve()
            # A link may lead anywhere the build can read (another user's
            # file, /proc/self/environ): only the runtime's own files go in.
            if real != root and root not in real.parents:
                outside.append(f"{rel} -> {real}")
            elif path.is_dir():
                if real in ancestors:
                    loops.append(rel)
                else:
                    visit(path, rel, ancestors | {real})
            elif path.is_file():
                files.append((rel, real))
            else:
                odd.append(rel)

    visit(root, pathlib.PurePosixPath(), {root})
    refuse_any(source, [(broken, "links to nothing"), (loops, "links that loop"),
                        (outside, "links to outside it"), (odd, "what is neither file nor folder")])
    return files


def installed_path(rel):
    """Where a runtime file lands in the default folder."""
    return DEFAULT_FOLDER + "Java\\" + str(rel).replace("/", "\\")


def cabinet_refusal(runtime_files, size):
    """Why a package of the runtime's files, the launcher and the archive,
    size bytes in all, does not fit its one cabinet; None when it fits."""
    count = runtime_files + 2
    if count > CABINET_FILES:
        return (f"the package would hold {count} files (the runtime's {runtime_files}, the launcher and the"
                f" archive); its cabinet holds at most {CABINET_FILES}")
    if size > CABINET_FOLDER_BYTES:
        return (f"the package would hold {size} bytes (runtime, launcher and archive);"
                f" its cabinet holds at most {CABINET_FOLDER_BYTES} (65535 blocks of 32 KiB)")
    return None


def unusable_names(relative_paths):
    """The paths whose names Windows or the package's code page cannot hold,
    the pairs that only letter case tells apart, and the paths too long to
    install."""
    outside, forbidden, clashes, too_long, seen = [], [], [], [], {}
    for rel in relative_paths:
        if len(installed_path(rel)) > LONGEST_PATH:
            too_long.append(rel)
        for depth, part in enumerate(rel.parts):
            prefix = pathlib.PurePosixPath(*rel.parts[: depth + 1])
            try:
                part.encode(CODE_PAGE)
            except UnicodeEncodeError:
                outside.append(prefix)
            if (set(part) & WINDOWS_FORBIDDEN or part[-1] in ". "
                    or is_device_name(part)):
                forbidden.append(prefix)
            folded = str(prefix).casefold()
            if seen.setdefault(folded, prefix) != prefix:
                # Both names of the pair, so that the administrator sees which two.
                clashes.append(" and ".join(sorted((str(seen[folded]), str(prefix)))))
    unique = lambda paths: sorted(set(paths))
    return unique(outside), unique(forbidden), unique(clashes), too_long


def checked_runtime(runtime):
    """The runtime's files, (relative path, real file), once every check of
    its tree and names has passed; fails in one line otherwise."""
    if not os.path.isdir(runtime):
        fail(f"the runtime folder {runtime} is not a folder")
    files = walk_following_links(runtime)
    outside, forbidden, clashes, too_long = unusable_names([rel for rel, _ in files])
    refuse_any(runtime, [
        (outside, "names outside the package's code page (Windows-1252)"),
        (forbidden, "names Windows does not allow"),
        (clashes, "names that differ only in letter case"),
        (too_long, f"paths longer than Windows Installer can install ({LONGEST_PATH} characters"
                   f" in {DEFAULT_FOLDER}Java)")])
    # Real runtimes ship bin\javaw.exe in lower case; Windows does not mind.
    if not any(str(rel).casefold() == "bin/javaw.exe" for rel, _ in files):
        fail(f"the runtime folder {runtime} has no bin\\Javaw.exe")
    return files


def staged_names(launcher, archive, runtime=None):
    """(name in the stage, the file it is a copy of) for every file staging copies."""
    named = [("tarnix2018.exe", launcher), ("tarnix2018.jar", archive)]
    return named + [(f"Java/{rel}", real) for rel, real in ([] if runtime is None else checked_runtime(runtime))]


def stage(destination, launcher, archive, runtime=None):
    """Copies the launcher, the archive and the runtime's files, links
    followed, into destination, once every check has passed."""
    files = [] if runtime is None else checked_runtime(runtime)
    size = sum(os.stat(real).st_size for _, real in files) + os.stat(launcher).st_size + os.stat(archive).st_size
    refusal = cabinet_refusal(len(files), size)
    if refusal:
        fail(refusal)
    progress(f"staging {len(files) + 2} files ({size / 1e6:.1f} MB)")
    root = pathlib.Path(destination)
    for rel, real in files:
        target = root / "Java" / rel
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(real, target)
    shutil.copyfile(launcher, root / "tarnix2018.exe")
    shutil.copyfile(archive, root / "tarnix2018.jar")
