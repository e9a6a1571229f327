"""What the package tests share: where the sources and the build are, the
inputs a build is given, and scripts/package run as a user runs it."""
import contextlib
import hashlib
import os
import pathlib
import re
import resource
import shutil
import signal
import subprocess
import sys
import threading
import time
import zipfile

ROOT = pathlib.Path(__file__).resolve().parents[2]
BUILD = pathlib.Path(os.environ.get("TARNIX_BUILD", ROOT / "build")).resolve()
sys.path.insert(0, str(ROOT / "packaging"))
from database import export_table  # noqa: E402  (the product's own reading of a table)

STAND_IN = BUILD / "tests" / "stand_in_runtime.exe"
# The vendor's key and the package's own, of the machine's 32-bit registry view.
VENDOR = "HKLM\\Software\\Velmora"
KEY = VENDOR + "\\Tarnix Cadastro 2018"
# The launch condition that refuses an install for a reason of the folder check's.
REFUSED = 'Installed OR InstallDirRefusal <> "{}"'
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


def remove(path):
    """A link or a file, or a folder with what it holds: gone, where it was there."""
    path.unlink() if path.is_symlink() or path.is_file() else shutil.rmtree(path, ignore_errors=True)


def first_missing(path):
    """A path's topmost folder that does not exist yet; None where it exists."""
    if path.exists() or path.is_symlink():
        return None
    while not path.parent.exists():
        path = path.parent
    return path


def plant_dll(folder):
    """A DLL the runtime would load, planted in the folder's Java\\bin."""
    (folder / "Java" / "bin").mkdir(parents=True, exist_ok=True)
    shutil.copy(STAND_IN, folder / "Java" / "bin" / "jli.dll")


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


def built(*arguments):
    """scripts/package that must succeed; its run."""
    result = package(*arguments)
    assert result.returncode == 0, result.stderr
    return result


def listed(folder):
    """The packages SHA256SUMS lists in a folder, where each verifies there; None where one does not."""
    sums = {line[66:]: line[:64] for line in (folder / "SHA256SUMS").read_text().splitlines()}
    verified = all(hashlib.sha256((folder / name).read_bytes()).hexdigest() == digest for name, digest in sums.items())
    return sorted(sums) if verified else None


def table(package_file, name):
    """A table's rows as msiinfo exports them; none where the package has no such table."""
    return export_table(package_file, name)[1]


def extracted(package_file, stream):
    """A stream of the package, as its bytes."""
    return subprocess.run(["msiinfo", "extract", package_file, stream], capture_output=True, check=True).stdout


def property_of(package_file, name):
    """A value of the package's Property table; None where it has none."""
    return next((row[1] for row in table(package_file, "Property") if row[0] == name), None)


def packed(guid):
    """A GUID as Windows Installer names its registry entries: the first three groups reversed, the rest by byte."""
    g = guid.strip("{}").replace("-", "").upper()
    return g[7::-1] + g[11:7:-1] + g[15:11:-1] + "".join(g[i + 1] + g[i] for i in range(16, 32, 2))


def package(*arguments, password="test-password", file_limit=None):
    """scripts/package run to its end; file_limit: the largest file it may write, in bytes."""

    def limit():
        if file_limit:
            resource.setrlimit(resource.RLIMIT_FSIZE, (file_limit, file_limit))

    return subprocess.run(command(*arguments), env=environment(password), capture_output=True, text=True,
                          preexec_fn=limit, stdin=subprocess.DEVNULL)


class Wine:
    """This part's Wine prefix (TARNIX_WINE_PREFIX), as tests/tools/wine-session
    lays it out, and Wine's msiexec in it. No Wine program is given a pipe
    it may leave open: only files and /dev/null."""

    def __init__(self, work):
        listed = subprocess.run(["bash", "-c", f'eval "$("{ROOT}/tests/tools/wine-session" env "{BUILD}")" && env -0'],
                                capture_output=True, check=True, stdin=subprocess.DEVNULL).stdout
        self.environment = dict(item.split("=", 1) for item in listed.decode().split("\0") if "=" in item)
        self.prefix = pathlib.Path(self.environment["WINEPREFIX"])
        self.drive_c = self.prefix / "drive_c"
        self.work = work
        self.log = work / "msiexec.log"

    def start(self, *arguments, output=None, cwd=None, **variables):
        """A Wine program started, its standard output to a file, with more environment variables."""
        with open(output or os.devnull, "w") as stream:
            return subprocess.Popen(["wine", *map(str, arguments)], env={**self.environment, **variables}, cwd=cwd,
                                    stdin=subprocess.DEVNULL, stdout=stream, stderr=subprocess.DEVNULL)

    def run(self, *arguments, **options):
        """A Wine program's exit status (options: as start's)."""
        with self.start(*arguments, **options) as program:
            return program.wait()

    def windows_path(self, path):
        answer = self.work / "winepath.txt"
        with open(answer, "w") as stream:
            subprocess.run(["winepath", "-w", str(path)], env=self.environment, stdin=subprocess.DEVNULL,
                           stdout=stream, stderr=subprocess.DEVNULL, check=True)
        return answer.read_text().strip()

    def msiexec(self, action, package_file, *properties, **options):
        """msiexec, silent, with its log; its status (Wine keeps 8 bits: 1603 is 67; options: as start's)."""
        self.log.unlink(missing_ok=True)
        status = self.run("msiexec", action, self.windows_path(package_file), "/qn", "/l*v",
                          self.windows_path(self.log), *properties, **options)
        if action == "/i" and status in (0, 3010 & 0xFF) and 'ALLUSERS=""' not in properties:
            # Wine's removal of an older version deletes the upgrade code's whole key, this product's value with
            # it; Windows keeps it, and the next upgrade finds this product by it.
            upgrade, product = packed(property_of(package_file, "UpgradeCode")), property_of(package_file, "ProductCode")
            for key in ("Classes\\Installer", "Microsoft\\Windows\\CurrentVersion\\Installer"):
                self.run("reg", "add", f"HKLM\\Software\\{key}\\UpgradeCodes\\{upgrade}", "/v", packed(product),
                         "/d", "", "/f", "/reg:64")
        return status

    def box(self, locales, locale, package_file, *properties):
        """msiexec /i under /qb in a locale of the folder LOCALES: its status and the text of the box
        "Install Failed" it shows, read and pressed by box_probe; no text where it ended without one."""
        answer = self.work / "box.txt"
        answer.unlink(missing_ok=True)
        with (self.start("msiexec", "/i", self.windows_path(package_file), "/qb", *properties, cwd=self.work,
                         LOCPATH=locales, LC_ALL=locale) as installer,
              self.start(BUILD / "tests" / "box_probe.exe", "Install Failed", output=answer) as probe):
            try:
                while installer.poll() is None and probe.poll() is None:
                    time.sleep(0.1)
                status = installer.wait(60)
                with contextlib.suppress(subprocess.TimeoutExpired):
                    probe.wait(5)  # a box pressed is read to its end; none waits no longer
                return status, answer.read_text(encoding="utf-8").replace("\r", "").rstrip("\n")
            finally:  # only what this row started, whatever happened
                installer.kill()
                probe.kill()

    def uninstall(self, packages):
        """Each of the packages that is installed, uninstalled."""
        for package_file in packages:
            if self.entry(package_file, "DisplayName"):
                self.msiexec("/x", package_file)

    def logged(self):
        return self.log.read_bytes().decode("latin-1") if self.log.exists() else ""

    def entries(self, package_file):
        """The package's Programs-and-Features entry, in either view, as a .reg file writes its values; {} where none."""
        code = property_of(package_file, "ProductCode")
        exported = self.work / "entry.reg"
        for view in ("64", "32"):
            exported.unlink(missing_ok=True)
            if self.run("reg", "export", f"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{code}",
                        self.windows_path(exported), f"/reg:{view}", "/y") == 0 and exported.exists():
                values = (line.split("=", 1) for line in exported.read_bytes().decode("utf-16").splitlines())
                return {value[0].strip('"'): value[1].strip('"').replace("\\\\", "\\") for value in values
                        if len(value) == 2}
        return {}

    def entry(self, package_file, value):
        return self.entries(package_file).get(value, "")

    def local(self, path):
        """Where a Windows path of C: or D: (also in the verbatim or loopback form) is here, each name in the
        letter case stored; a relative one below the work folder; None for any other."""
        path = re.sub(r"^\\\\(\?|localhost)\\([A-Za-z])[:$]", r"\2:", path)
        drive = re.fullmatch(r"([CcDd]):(.*)", path)
        if not drive:
            return None if re.match(r"[A-Za-z]:|\\\\", path) else self.work / path
        here = (self.prefix / "dosdevices" / f"{drive[1].lower()}:").resolve()
        for name in filter(None, re.split(r"[\\/]", drive[2])):
            stored = {found.lower(): found for found in os.listdir(here)} if here.is_dir() else {}
            here = here / stored.get(name.lower(), name)
        return here

    def installers(self):
        """The msiexec processes of this prefix, not of another part's."""
        found = []
        for process in pathlib.Path("/proc").glob("[0-9]*"):
            try:
                if (b"msiexec" in (process / "cmdline").read_bytes()
                        and f"WINEPREFIX={self.prefix}".encode() in (process / "environ").read_bytes().split(b"\0")):
                    found.append(int(process.name))
            except OSError:
                continue
        return found

    def raced(self, reset, plant, *msiexec_arguments):
        """msiexec while a watcher, once the log says the folder was accepted,
        stops the installer, runs plant() and lets it go on. The plant must
        land before the folder is made; a late one is tried again, reset()
        first, up to three times. ("inside" or "late", msiexec's status)"""
        for _ in range(3):
            reset()
            self.log.unlink(missing_ok=True)
            outcome = {}
            watcher = threading.Thread(target=self._plant, args=(plant, outcome))
            watcher.start()
            status = self.msiexec(*msiexec_arguments)
            watcher.join()
            if outcome.get("plant") != "late":
                return outcome.get("plant", "never planted"), status
        return "late", status

    def _plant(self, plant, outcome):
        end = time.monotonic() + 30
        while not self.log.exists() and time.monotonic() < end:
            time.sleep(0.01)
        installers = self.installers()
        while "CheckInstallFolder: accepted" not in self.logged():
            if time.monotonic() > end:
                return
        for pid in installers:
            os.kill(pid, signal.SIGSTOP)
        try:
            plant()
            # The log names each action as the script is made and again as it runs.
            made = len(re.findall(r"Action start [0-9:]*: MakeInstallFolder", self.logged()))
            outcome["plant"] = "inside" if made <= 1 else "late"
        finally:
            for pid in installers:
                os.kill(pid, signal.SIGCONT)

    def first_install_race(self, package_file):
        """Whether a first install into C:\\TarnixCorrida, whose folder gets a
        DLL once the check accepted it, failed adopting nothing."""
        race = self.drive_c / "TarnixCorrida"
        try:
            planted, status = self.raced(lambda: shutil.rmtree(race, ignore_errors=True), lambda: plant_dll(race),
                                         "/i", package_file, "INSTALLDIR=C:\\TarnixCorrida")
            return (planted == "inside" and status != 0
                    and "MakeInstallFolder: refused (appeared): C:\\TarnixCorrida" in self.logged()
                    and self.entry(package_file, "DisplayName") == ""
                    and not (race / "tarnix2018.exe").exists() and not (race / "Java" / "bin" / "Javaw.exe").exists())
        finally:
            shutil.rmtree(race, ignore_errors=True)

    def registry_text(self, key, value):
        """A text value of the machine's registry (its 32-bit view), or None."""
        answer = self.work / "reg.txt"
        if self.run("reg", "query", key, "/v", value, "/reg:32", output=answer) != 0:
            return None
        return next((line.split("REG_SZ", 1)[1].strip() for line in answer.read_text(errors="replace").splitlines()
                     if "REG_SZ" in line), None)

    def leftovers(self, folder, packages):
        """What the package left: the folder, the vendor's folder, shortcuts, the vendor's key, an entry."""
        left = [str(folder)] if folder.exists() else []
        left += [str(path) for path in (self.drive_c / "Program Files (x86)").glob("*")
                 if path.name.lower() == "velmora"]
        for place in ("users", "ProgramData"):
            left += [str(path) for path in (self.drive_c / place).rglob("Tarnix Cadastro 2018*")]
        if self.run("reg", "query", VENDOR, "/reg:32") == 0:
            left.append("registry")
        left += ["Programs and Features" for package_file in packages if self.entry(package_file, "DisplayName")]
        return left
