"""What the package tests share: where the sources and the build are, the
inputs a build is given, and scripts/package run as a user runs it."""
import os
import pathlib
import resource
import shutil
import subprocess
import zipfile

ROOT = pathlib.Path(__file__).resolve().parents[2]
BUILD = pathlib.Path(os.environ.get("TARNIX_BUILD", ROOT / "build")).resolve()
STAND_IN = BUILD / "tests" / "stand_in_runtime.exe"
MANIFEST = "Manifest-Version: 1.0\r\nMain-Class: Main\r\n\r\n"


# The tools a build runs, each of which recording-wrapper can stand for.
TOOLS = ["osslsigncode", "openssl", "wixl", "msibuild", "msiinfo", "env", "setsid", "mktemp", "cp", "mv", "touch",
         "find", "git", "cmake"]


def wrappers(folder):
    """A folder of recording-wrapper links, one a tool, to put first on PATH."""
    folder.mkdir()
    for tool in TOOLS:
        (folder / tool).symlink_to(ROOT / "tests" / "package" / "recording-wrapper")
    return folder


def work_folder(part):
    """A part's own work folder below the build, emptied of an earlier run."""
    work = BUILD / f"package-test-{part}"
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    return work


def archive(path, text, manifest=MANIFEST):
    """A Java archive holding version.txt with the text."""
    with zipfile.ZipFile(path, "w") as stream:
        if manifest is not None:
            stream.writestr("META-INF/MANIFEST.MF", manifest)
        stream.writestr("version.txt", text)
    return path


def runtime(folder):
    """A runtime folder holding bin/Javaw.exe (the stand-in) and lib/."""
    (folder / "bin").mkdir(parents=True)
    (folder / "lib").mkdir()
    shutil.copy(STAND_IN, folder / "bin" / "Javaw.exe")
    return folder


def certificate(work, name, extension=None):
    """A throwaway certificate as NAME.key, NAME.pem and NAME.pfx (password test-password)."""
    extra = ["-addext", extension] if extension else []
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", work / f"{name}.key",
                    "-out", work / f"{name}.pem", "-days", "2", "-subj", "/CN=Velmora test", *extra],
                   check=True, capture_output=True)
    pkcs12(work, name, name, "test-password")


def pkcs12(work, key, name, password):
    subprocess.run(["openssl", "pkcs12", "-export", "-inkey", work / f"{key}.key", "-in", work / f"{key}.pem",
                    "-out", work / f"{name}.pfx", "-passout", f"pass:{password}"], check=True, capture_output=True)


def environment(password="test-password", **extra):
    """A build's environment: the build's own launcher, the signing password
    (None: unset) and what the row adds."""
    variables = {key: value for key, value in os.environ.items() if key != "TARNIX_SIGN_PASSWORD"}
    variables["TARNIX_LAUNCHER"] = str(BUILD / "tarnix2018.exe")  # the build's, not one built again
    if password is not None:
        variables["TARNIX_SIGN_PASSWORD"] = password
    return {**variables, **extra}


def command(*arguments):
    return [str(ROOT / "scripts" / "package"), *map(str, arguments)]


def package(*arguments, password="test-password", file_limit=None):
    """scripts/package run to its end; file_limit: the largest file it may write, in bytes."""

    def limit():
        if file_limit:
            resource.setrlimit(resource.RLIMIT_FSIZE, (file_limit, file_limit))

    return subprocess.run(command(*arguments), env=environment(password), capture_output=True, text=True,
                          preexec_fn=limit, stdin=subprocess.DEVNULL)
