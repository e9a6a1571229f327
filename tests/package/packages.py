#!/usr/bin/python3
"""The distinct packages the install parts share, each built once a run:
CTest's package_built fixture builds them all (run this file); a part run
alone builds them where they are missing."""
import fcntl
import shutil
import subprocess

from conftest import BUILD, STAND_IN, archive, built, runtime

HOME = BUILD / "package-built"
WINE_MSVCRT = "/usr/lib/i386-linux-gnu/wine/i386-windows/msvcrt.dll"


def awkward_runtime(w):
    """A runtime as a JDK unpacked on a Unix machine has it, given through a
    link: links to files and folders inside, names that share a short form,
    names with spaces and letters of the code page, and a longest file
    (Java\\legal\\java.base\\security\\policy\\unlimited\\local_policy.jar, 63)
    17 characters past its deepest folder (46)."""
    awkward = runtime(w / "awkward-runtime")
    for folder in ("lib/security/policy/unlimited", "legal/java.base", "conf"):
        (awkward / folder).mkdir(parents=True, exist_ok=True)
    for name in ("longname one.txt", "longname two.txt", "LONGNA~1.TXT", "ação & ' $x.txt", "a.b.c.d"):
        (awkward / "lib" / name).write_text(name + "\n")
    (awkward / "conf" / "cacerts").write_text("certificates\n")
    (awkward / "lib" / "security" / "policy" / "unlimited" / "local_policy.jar").write_text("policy\n")
    (awkward / "lib" / "security" / "cacerts").symlink_to("../../conf/cacerts")
    (awkward / "legal" / "java.base" / "security").symlink_to("../../lib/security")
    (w / "linked-runtime").symlink_to(awkward)
    return w / "linked-runtime"


def lower_runtime(w):
    """As real runtimes ship it: bin\\javaw.exe in lower case, and a DLL with
    a version resource (Wine's own)."""
    (w / "lower-runtime" / "bin").mkdir(parents=True)
    shutil.copy(STAND_IN, w / "lower-runtime" / "bin" / "javaw.exe")
    shutil.copy(WINE_MSVCRT, w / "lower-runtime" / "bin")
    return w / "lower-runtime"


# name: (archive, version, runtime, output folder, more options)
PACKAGES = {"old": ("old", "1.0.0", "plain", "dist", []), "new": ("new", "1.1.0", "plain", "dist", []),
            "rebuilt": ("rebuilt", "1.1.0", "plain", "rebuilt", []), "bare": ("old", "1.0.0", None, "bare", []),
            "bare-new": ("new", "1.1.0", None, "bare-new", []), "awkward": ("old", "1.0.0", "awkward", "awkward", []),
            "lower": ("old", "1.0.0", "lower", "lower", []),
            "own-icon": ("old", "1.0.0", None, "own-icon", ["--icon", HOME / "own.ico"])}


def build_all():
    shutil.rmtree(HOME, ignore_errors=True)
    HOME.mkdir(parents=True)
    for name, text in (("old", "version 1.0.0"), ("new", "version 1.1.0"), ("rebuilt", "version 1.1.0, rebuilt")):
        archive(HOME / f"{name}.jar", text)
    subprocess.run(["convert", "-size", "32x32", "xc:orange", HOME / "own.ico"], check=True)
    runtimes = {"plain": runtime(HOME / "runtime"), "awkward": awkward_runtime(HOME), "lower": lower_runtime(HOME)}
    for jar, version, kind, folder, more in PACKAGES.values():
        built(HOME / f"{jar}.jar", *(["--runtime", runtimes[kind]] if kind else []), "--version", version,
              "--output", HOME / folder, *more)
    (HOME / "complete").touch()


def prebuilt(name):
    """A package of PACKAGES, built first where this run has none."""
    with open(BUILD / "package-built.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not (HOME / "complete").exists():
            build_all()
    _, version, _, folder, _ = PACKAGES[name]
    return HOME / folder / f"tarnix2018-{version}.msi"


if __name__ == "__main__":
    build_all()
