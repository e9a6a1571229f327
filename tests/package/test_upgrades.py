"""Upgrades under Wine's msiexec: a newer version, a same-version rebuild, a
refused downgrade, the folder and shortcut an upgrade keeps or is given,
maintenance runs that never move the product, evidence no command line
forges, what an upgrade in place may keep, and what is made in the folder
after it was judged. Each scenario runs once, in order, and each of its
observations is a row; a scenario ends with nothing of ours installed, so
that the next begins as the first does. Three parts side by side
(TARNIX_PART: upgrades-1, upgrades-2, upgrades-3), each in a prefix of its
own; without TARNIX_PART it runs all."""
import contextlib
import functools
import os
import re
import shutil
import threading
import time

import pytest

from conftest import BUILD, KEY, STAND_IN, VENDOR, Wine, plant_dll, property_of, remove, work_folder
from packages import HOME, prebuilt

DEFAULT = "Program Files (x86)/Velmora/Tarnix Cadastro 2018"
LEFT_BY_A_STOPPED_RUN = ["Program Files (x86)/Velmora", "TarnixA", "TarnixB", "TarnixM", "Outra", "OutraPasta",
                         "Existente", "TarnixUp", "TarnixMovida", "Ocupada Outra", "TarnixManual", "Forjada",
                         "TarnixLacuna", "TarnixCorrida", "TarnixJuncao", "TarnixAlvo", "TarnixSobe", "TarnixNivel",
                         "TarnixRB", "TarnixRBAlvo", "TarnixElo", "TarnixEloAlvo", "JavaTeste", "holder.txt",
                         "TarnixMenos", "TarnixMais", "TarnixNu", "TarnixVelha", "TarnixNova",
                         "TarnixAlheia"]
RECORD = KEY + "\\MadeFolders"
JAVA = "HKLM\\Software\\JavaSoft"
PART = os.environ.get("TARNIX_PART")


def reset(machine):
    """The machine as a scenario expects it: nothing of ours installed, made or remembered."""
    machine.uninstall(machine.built.values())
    for leftover in LEFT_BY_A_STOPPED_RUN:
        remove(machine.drive_c / leftover)
    machine.run("reg", "delete", VENDOR, "/f", "/reg:32")
    machine.run("reg", "delete", JAVA, "/f", "/reg:64")


@pytest.fixture(scope="module")
def wine():
    machine = Wine(work_folder(PART or "upgrades"))
    machine.built = {name: prebuilt(name) for name in ("old", "new", "rebuilt", "bare", "bare-new", "lower")}
    reset(machine)  # what a run that stopped half-way left
    return machine


def same(path, other):
    return path.exists() and path.read_bytes() == other.read_bytes()


def scenario(checks):
    """A scenario's fixture, run once: its observations by the names of the checks; the machine reset after it,
    whatever it left, so that it never poisons the next."""
    def fixture(observe):
        @functools.wraps(observe)
        def observed_once(**fixtures):
            seen = []
            try:
                seen = observe(**fixtures)
            finally:
                reset(fixtures["wine"])
            return dict(zip(checks, seen))
        return pytest.fixture(scope="module")(observed_once)
    return fixture


UPGRADE = ["1.0.0 installs", "1.1.0 installs over it, in place: the moved files' removals never run",
           "one product remains, 1.1.0",
           "the installed archive is the newer one", "a rebuild of 1.1.0 with another archive is a product of its own",
           "the rebuild installs over the first build", "one product remains, the rebuild",
           "the installed archive is the rebuild's", "the rebuild installed again changes nothing",
           "still one product, the rebuild",
           "1.0.0 over 1.1.0 is refused as a downgrade, and for nothing else: the folder is not judged",
           "1.1.0 is still installed", "1.1.0 uninstalls", "the uninstall leaves nothing of what was installed"]


@scenario(UPGRADE)
def upgrade(wine):
    b, archive_file = wine.built, wine.drive_c / DEFAULT / "tarnix2018.jar"
    code = lambda package_file: property_of(package_file, "ProductCode")
    seen = [wine.msiexec("/i", b["old"]) == 0,
            wine.msiexec("/i", b["new"]) == 0 and "File: Moved" not in wine.logged()]
    seen += [wine.entry(b["old"], "DisplayName") == "" and wine.entry(b["new"], "DisplayVersion") == "1.1.0",
             same(archive_file, HOME / "new.jar"), code(b["rebuilt"]) != code(b["new"]),
             wine.msiexec("/i", b["rebuilt"]) == 0]
    seen += [wine.entry(b["new"], "DisplayName") == "" and wine.entry(b["rebuilt"], "DisplayVersion") == "1.1.0",
             same(archive_file, HOME / "rebuilt.jar"), wine.msiexec("/i", b["rebuilt"]) == 0]
    seen += [wine.entry(b["new"], "DisplayName") == "" and wine.entry(b["rebuilt"], "DisplayVersion") == "1.1.0",
             wine.msiexec("/i", b["old"]) != 0 and "CheckInstallFolder: " not in wine.logged(),
             wine.entry(b["rebuilt"], "DisplayVersion") == "1.1.0", wine.msiexec("/x", b["rebuilt"]) == 0]
    seen += [wine.leftovers(wine.drive_c / DEFAULT, b.values()) == []]
    return seen


GIVEN = ["1.0.0 installs in C:\\TarnixA with a desktop shortcut",
         "1.1.0 given C:\\TarnixB and DESKTOP_SHORTCUT=0 installs over it",
         "one product, 1.1.0, in C:\\TarnixB, nothing of ours left in C:\\TarnixA, no desktop shortcut",
         "the rebuild given DESKTOP_SHORTCUT=1 alone stays in C:\\TarnixB and adds the desktop shortcut",
         "1.1.0 without properties keeps the folder and the desktop shortcut", "it uninstalls, leaving nothing",
         "a move from a build whose runtime held a file the newer lacks leaves no older folder, and the newer "
         "version's removal leaves nothing, no vendor key",
         "a runtime package upgraded in place by a bare one leaves no Java folder"]


@scenario(GIVEN)
def given(wine):
    b, c = wine.built, wine.drive_c
    desktop = lambda: any((c / "users").glob("*/Desktop/Tarnix Cadastro 2018.lnk"))
    seen = [wine.msiexec("/i", b["old"], "INSTALLDIR=C:\\TarnixA", "DESKTOP_SHORTCUT=1") == 0,
            wine.msiexec("/i", b["new"], "INSTALLDIR=C:\\TarnixB", "DESKTOP_SHORTCUT=0") == 0]
    seen += [wine.entry(b["old"], "DisplayName") == "" and wine.entry(b["new"], "InstallLocation") == "C:\\TarnixB\\"
             and (c / "TarnixB" / "tarnix2018.exe").is_file() and not (c / "TarnixA").exists() and not desktop()]
    seen += [wine.msiexec("/i", b["rebuilt"], "DESKTOP_SHORTCUT=1") == 0
             and same(c / "TarnixB" / "tarnix2018.jar", HOME / "rebuilt.jar") and desktop()]
    seen += [wine.msiexec("/i", b["new"]) == 0 and same(c / "TarnixB" / "tarnix2018.jar", HOME / "new.jar") and desktop()]
    seen += [wine.msiexec("/x", b["new"]) == 0 and wine.leftovers(c / "TarnixB", b.values()) == []]
    wine.msiexec("/i", b["lower"], "INSTALLDIR=C:\\TarnixMenos")
    seen += [(c / "TarnixMenos/Java/bin/msvcrt.dll").is_file()
             and wine.msiexec("/i", b["new"], "INSTALLDIR=C:\\TarnixMais") == 0 and not (c / "TarnixMenos").exists()
             and wine.msiexec("/x", b["new"]) == 0 and wine.leftovers(c / "TarnixMais", b.values()) == []]
    wine.msiexec("/i", b["old"], "INSTALLDIR=C:\\TarnixNu")
    seen += [wine.msiexec("/i", b["bare-new"]) == 0 and (c / "TarnixNu/tarnix2018.exe").is_file()
             and not (c / "TarnixNu/Java").exists()]
    return seen


CHOOSES = ["a repair given another INSTALLDIR writes nothing there and stays where Windows Installer has the product",
           "an InstallDir value an earlier build left elsewhere is not read: a repair stays where the product is",
           "an upgrade into an existing folder other than its own is refused",
           "a first install given forged upgrade evidence is refused, the folder's files as they were",
           "1.0.0 installs below a parent only its owner writes",
           "an upgrade naming no folder judges the installed one: it now fails the checks, so is refused, 1.0.0 stays",
           "given INSTALLDIR, the same upgrade moves the installation cleanly", "it uninstalls, leaving nothing"]


def foreign(folder, *planted):
    """A folder of another installation's: notes, and what the row plants."""
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "notas.txt").write_text("alheio\n")
    for path in planted:
        (folder / path).parent.mkdir(parents=True, exist_ok=True)
        shutil.copy(STAND_IN, folder / path)
    return folder


def files_of(folder):
    return sorted(str(path.relative_to(folder)) for path in folder.rglob("*") if path.is_file())


@scenario(CHOOSES)
def chooses(wine):
    b, c = wine.built, wine.drive_c
    repair = ("REINSTALL=ALL", "REINSTALLMODE=vomus")
    wine.msiexec("/i", b["old"], "INSTALLDIR=C:\\TarnixM")
    seen = [wine.msiexec("/i", b["old"], *repair, "INSTALLDIR=C:\\Outra") == 0 and not (c / "Outra").exists()
            and wine.entry(b["old"], "InstallLocation") == "C:\\TarnixM\\" and (c / "TarnixM" / "tarnix2018.exe").is_file()]
    wine.run("reg", "add", KEY, "/v", "InstallDir", "/d", "C:\\OutraPasta\\", "/f", "/reg:32")
    seen += [wine.msiexec("/i", b["old"], *repair) == 0
             and not (c / "OutraPasta").exists() and wine.entry(b["old"], "InstallLocation") == "C:\\TarnixM\\"
             and (c / "TarnixM" / "tarnix2018.exe").is_file()]
    occupied = foreign(c / "Ocupada Outra")
    seen += [wine.msiexec("/i", b["new"], "INSTALLDIR=C:\\Ocupada Outra") != 0
             and "refused (existing)" in wine.logged() and files_of(occupied) == ["notas.txt"]]
    wine.msiexec("/x", b["old"])
    wine.run("reg", "delete", KEY, "/f", "/reg:32")
    # The upgrade's evidence given on the command line, with no product installed.
    other = foreign(c / "Existente", "Java/bin/jli.dll")
    seen += [wine.msiexec("/i", b["old"], "INSTALLDIR=C:\\Existente", "REMEMBEREDINSTALLDIR=C:\\Existente\\",
                          "WIX_UPGRADE_DETECTED=1") != 0
             and "refused (existing)" in wine.logged() and wine.entry(b["old"], "DisplayName") == ""
             and files_of(other) == ["Java/bin/jli.dll", "notas.txt"] and same(other / "Java/bin/jli.dll", STAND_IN)]
    # Installed where the checks passed, its parent loosened since.
    (c / "TarnixUp").mkdir(mode=0o755)
    seen += [wine.msiexec("/i", b["old"], "INSTALLDIR=C:\\TarnixUp\\App") == 0]
    os.chmod(c / "TarnixUp", 0o777)
    seen += [wine.msiexec("/i", b["new"]) != 0 and re.search(r"refused \(writable\): C:.TarnixUp", wine.logged())
             is not None and wine.entry(b["old"], "DisplayVersion") == "1.0.0"]
    seen += [wine.msiexec("/i", b["new"], "INSTALLDIR=C:\\TarnixMovida") == 0
             and wine.entry(b["new"], "InstallLocation") == "C:\\TarnixMovida\\"
             and list((c / "TarnixUp").iterdir()) == []]
    seen += [wine.msiexec("/x", b["new"]) == 0 and wine.leftovers(c / "TarnixMovida", b.values()) == []]
    return seen


IN_PLACE = ["an upgrade keeps a runtime placed by hand in its folder",
            "an upgrade with the archive held open, as a running runtime holds it, ends 0 or 3010 with 1.1.0 "
            "registered",
            "the same with the held archive a hard link to a file outside is refused by the check, 1.0.0 as it was",
            "an upgrade in place beside a Java folder others may change is refused by the check, 1.0.0 as it was",
            "an upgrade in place beside a config.txt everyone may write is refused by the check, naming it, before "
            "anything is made or removed: 1.0.0 as it was",
            "a per-user product of this upgrade code opens no folder: its folder is still refused as existing",
            "every folder the package makes is made with the lock's descriptor (Wine: mode 0750, nothing for others)",
            "after an upgrade in place, the newer version's removal leaves none of the folders the older one made, "
            "nor the vendor's key",
            "a made folder left while not empty goes with a later removal once empty; a record that cannot be read "
            "is logged and kept, and stops nothing",
            "folders made below a link the check accepted are taken away by the removal, where the link leads",
            "an upgrade in place named through that link is no move: it ends 0 with 1.1.0, nothing of its folder "
            "removed"]


@scenario(IN_PLACE)
def in_place(wine):
    b, w, c = wine.built, wine.work, wine.drive_c
    hand = c / "TarnixManual"

    @contextlib.contextmanager
    def held():
        """The archive held open by the stand-in as a running runtime holds it; ended by its id."""
        record = c / "holder.txt"
        record.unlink(missing_ok=True)
        with wine.start(BUILD / "tests" / "stand_in_runtime.exe", TARNIX_STAND_IN_RECORD="C:\\holder.txt",
                        TARNIX_STAND_IN_HOLD_FILE="C:\\TarnixManual\\tarnix2018.jar") as holder:
            try:
                while not record.exists() and holder.poll() is None:
                    time.sleep(0.05)
                yield
            finally:
                holder.kill()

    def upgraded(plant=lambda: None):
        """1.0.0 in C:\\TarnixManual, what plant() places, then 1.1.0 with the archive held: its status."""
        shutil.rmtree(hand, ignore_errors=True)
        wine.msiexec("/i", b["bare"], "INSTALLDIR=C:\\TarnixManual")
        plant()
        with held():
            return wine.msiexec("/i", b["bare-new"])

    def upgraded_beside(plant, refusal):
        """Refused by the check, before anything is made or removed: 1.0.0 installed with its files."""
        refused = (upgraded(plant) != 0 and re.search(refusal, wine.logged()) is not None
                   and "MakeInstallFolder: " not in wine.logged() and wine.entry(b["bare-new"], "DisplayName") == ""
                   and wine.entry(b["bare"], "DisplayVersion") == "1.0.0"
                   and same(hand / "tarnix2018.jar", HOME / "old.jar"))
        wine.uninstall([b["bare"]])
        return refused

    def hard_link():
        shutil.copy(HOME / "old.jar", w / "outside.jar")
        (hand / "tarnix2018.jar").unlink()
        os.link(w / "outside.jar", hand / "tarnix2018.jar")

    def open_java():
        foreign(hand, "Java/bin/Javaw.exe")
        os.chmod(hand / "Java", 0o777)

    def open_config():
        (hand / "config.txt").write_text("porta=8080\n")
        os.chmod(hand / "config.txt", 0o666)

    shutil.rmtree(hand, ignore_errors=True)
    wine.msiexec("/i", b["bare"], "INSTALLDIR=C:\\TarnixManual")
    foreign(hand, "Java/bin/Javaw.exe")
    seen = [wine.msiexec("/i", b["bare-new"]) == 0 and "VerifyInstallFolder: verified" in wine.logged()
            and same(hand / "tarnix2018.jar", HOME / "new.jar") and same(hand / "Java/bin/Javaw.exe", STAND_IN)]
    wine.msiexec("/x", b["bare-new"])
    # Wine keeps 8 bits: 3010 is 194.
    seen += [upgraded() in (0, 3010 & 0xFF) and wine.entry(b["bare-new"], "DisplayVersion") == "1.1.0"]
    wine.uninstall([b["bare-new"]])
    seen += [upgraded_beside(hard_link, r"CheckInstallFolder: refused \(hardlink\): C:.TarnixManual.tarnix2018.jar"),
             upgraded_beside(open_java, r"CheckInstallFolder: refused \(writable\): C:.TarnixManual.Java for S-1-1-0"),
             upgraded_beside(open_config,
                             r"CheckInstallFolder: refused \(writable\): C:.TarnixManual.config.txt for S-1-1-0")]
    shutil.rmtree(hand, ignore_errors=True)
    # Installed for the user alone, in C:\Forjada: no evidence for the machine's install.
    wine.msiexec("/i", b["old"], 'ALLUSERS=""', "INSTALLDIR=C:\\Forjada")
    seen += [(c / "Forjada" / "tarnix2018.exe").is_file() and wine.msiexec("/i", b["new"], "INSTALLDIR=C:\\Forjada") != 0
             and re.search(r"refused \(existing\): C:.Forjada", wine.logged()) is not None]
    wine.msiexec("/x", b["old"], 'ALLUSERS=""')
    shutil.rmtree(c / "Forjada", ignore_errors=True)
    made = [c / "TarnixNivel", c / "TarnixNivel/Dois", c / "TarnixNivel/Dois/Tarnix"]
    installed = wine.msiexec("/i", b["old"], "INSTALLDIR=C:\\TarnixNivel\\Dois\\Tarnix") == 0
    seen += [installed and [oct(path.stat().st_mode & 0o777) for path in made] == ["0o750"] * 3]
    seen += [installed and wine.msiexec("/i", b["new"]) == 0 and (made[2] / "tarnix2018.exe").is_file()
             and wine.msiexec("/x", b["new"]) == 0 and not made[0].exists()
             and wine.run("reg", "query", VENDOR, "/reg:32") != 0]
    # Left while a file is in it, then an unreadable record beside the good ones at the next removal.
    wine.msiexec("/i", b["old"], "INSTALLDIR=C:\\TarnixNivel\\Dois\\Tarnix")
    (made[1] / "nota.txt").write_text("x\n")
    left = wine.msiexec("/x", b["old"]) == 0 and made[1].is_dir() and not made[2].exists()
    (made[1] / "nota.txt").unlink()
    wine.msiexec("/i", b["old"], "INSTALLDIR=C:\\TarnixNivel\\Dois\\Tarnix")
    wine.run("reg", "add", RECORD, "/v", "C:\\Lixo", "/t", "REG_DWORD", "/d", "1", "/f", "/reg:32")
    seen += [left and wine.msiexec("/x", b["old"]) == 0 and not made[0].exists()
             and "RemoveMadeFolders: a record that cannot be read, kept: C:\\Lixo" in wine.logged()
             and wine.run("reg", "query", RECORD, "/v", "C:\\Lixo", "/reg:32") == 0]
    wine.run("reg", "delete", VENDOR, "/f", "/reg:32")
    # An administrator's link, accepted by the check: what is made where it leads goes with the removal.
    (c / "TarnixEloAlvo").mkdir()
    (c / "TarnixElo").symlink_to("TarnixEloAlvo")
    seen += [wine.msiexec("/i", b["old"], "INSTALLDIR=C:\\TarnixElo\\Nivel\\App") == 0
             and (c / "TarnixEloAlvo/Nivel/App/tarnix2018.exe").is_file() and wine.msiexec("/x", b["old"]) == 0
             and not (c / "TarnixEloAlvo/Nivel").exists() and (c / "TarnixEloAlvo").is_dir()]
    wine.msiexec("/i", b["old"], "INSTALLDIR=C:\\TarnixEloAlvo\\App")
    seen += [wine.msiexec("/i", b["new"], "INSTALLDIR=C:\\TarnixElo\\App") == 0 and "File: Moved" not in wine.logged()
             and wine.entry(b["new"], "DisplayVersion") == "1.1.0"
             and same(c / "TarnixEloAlvo/App/tarnix2018.jar", HOME / "new.jar")]
    return seen


RACES = ["a first install whose folder gets a DLL after the check fails, adopting nothing",
         "an upgrade while another account keeps trying to make its folder with a DLL ends 0 or 3010 with 1.1.0 "
         "in the folder with the lock (Wine: mode 0750)",
         "and the other account never made the folder",
         "a link planted at INSTALLDIR after the check fails the install before CreateFolders runs: its target as it "
         "was, nothing registered",
         "a parent opened to everyone once the folder is accepted fails the install at the second look, and its "
         "rollback takes the folders it made",
         "a link planted above the folders to make once they are accepted fails the install, and its rollback removes "
         "nothing where the link leads",
         "a move refused once accepted, at the make (another account made its folder) or the second look (its parent "
         "opened): the older folder holds every file it held, 1.0.0 registered",
         "a link planted in the older folder of a move is refused by the check, what it leads to untouched"]


def made_before_folders(log):
    """As the script runs (from the second naming of the action on; a
    rollback names CreateFolders once more), the refusal comes before
    CreateFolders."""
    runs = log.split("Action start ")
    executed = "Action start ".join(runs[[i for i, run in enumerate(runs) if re.match(r"[0-9:]*: MakeInstallFolder\.",
                                                                                        run)][1]:])
    return "MakeInstallFolder: refused" in executed.split("CreateFolders")[0]


@scenario(RACES)
def races(wine):
    b, c = wine.built, wine.drive_c
    seen = [wine.first_install_race(b["old"])]
    gap = c / "TarnixLacuna"
    wine.msiexec("/i", b["old"], "INSTALLDIR=C:\\TarnixLacuna")
    made, stop = [], threading.Event()

    def other_account():
        """Keeps trying to make the folder, and plants a DLL in it once made."""
        while not stop.is_set():
            with contextlib.suppress(OSError):
                gap.mkdir()
                made.append(gap)
                plant_dll(gap)

    thread = threading.Thread(target=other_account)
    thread.start()
    try:
        status = wine.msiexec("/i", b["new"])
    finally:
        stop.set()
        thread.join()
    seen += [status in (0, 3010 & 0xFF) and wine.entry(b["new"], "DisplayVersion") == "1.1.0"
             and same(gap / "tarnix2018.jar", HOME / "new.jar") and oct(gap.stat().st_mode & 0o777) == "0o750",
             made == []]
    wine.uninstall([b["old"], b["new"]])
    # A link put at INSTALLDIR once it is accepted: nothing made or locked through it.
    junction, target = c / "TarnixJuncao", foreign(c / "TarnixAlvo")
    before = oct(target.stat().st_mode), target.stat().st_uid, files_of(target)
    planted, status = wine.raced(lambda: junction.unlink(missing_ok=True), lambda: junction.symlink_to("TarnixAlvo"),
                                 "/i", b["old"], "INSTALLDIR=C:\\TarnixJuncao")
    seen += [planted == "inside" and status != 0
             and re.search(r"MakeInstallFolder: refused \(appeared\): C:.TarnixJuncao", wine.logged()) is not None
             and made_before_folders(wine.logged()) and junction.is_symlink()
             and (oct(target.stat().st_mode), target.stat().st_uid, files_of(target)) == before
             and wine.entry(b["old"], "DisplayName") == ""]
    # The folder above INSTALLDIR opened to everyone once it is accepted:
    # the second look judges the way again.
    above = c / "TarnixSobe"
    above.mkdir()
    planted, status = wine.raced(lambda: os.chmod(above, 0o755), lambda: os.chmod(above, 0o777),
                                 "/i", b["old"], "INSTALLDIR=C:\\TarnixSobe\\A\\App")
    # Wine's own rollback may take INSTALLDIR; only the package's takes A.
    seen += [planted == "inside" and status != 0 and wine.entry(b["old"], "DisplayName") == ""
             and "VerifyInstallFolder: refused (writable): C:\\TarnixSobe for S-1-1-0" in wine.logged()
             and list(above.iterdir()) == []]
    # Wine's own rollback undoes a CreateFolders that never ran: it takes the empty A\Tarnix there, never A.
    link, target = c / "TarnixRB", c / "TarnixRBAlvo"
    (target / "A" / "Tarnix").mkdir(parents=True)
    planted, status = wine.raced(lambda: link.unlink(missing_ok=True), lambda: link.symlink_to("TarnixRBAlvo"),
                                 "/i", b["old"], "INSTALLDIR=C:\\TarnixRB\\A\\Tarnix")
    seen += [planted == "inside" and status != 0
             and "MakeInstallFolder: refused (appeared): C:\\TarnixRB" in wine.logged()
             and (target / "A").is_dir() and wine.entry(b["old"], "DisplayName") == ""]
    # A move refused once accepted, as its folder is made (another account made it) or at the second look (its
    # parent opened to everyone): the older folder untouched.
    older, newer = c / "TarnixVelha", c / "TarnixNova"
    untouched = []
    for folder, renew, plant, refusal in (
            ("", lambda: remove(newer), newer.mkdir, "MakeInstallFolder: refused (appeared): C:\\TarnixNova"),
            ("\\App", lambda: (remove(newer), newer.mkdir(), os.chmod(newer, 0o755)), lambda: os.chmod(newer, 0o777),
             "VerifyInstallFolder: refused (writable): C:\\TarnixNova for S-1-1-0")):
        wine.msiexec("/i", b["old"], "INSTALLDIR=C:\\TarnixVelha")
        planted, status = wine.raced(renew, plant, "/i", b["new"], "INSTALLDIR=C:\\TarnixNova" + folder)
        untouched += [planted == "inside" and status != 0 and refusal in wine.logged()
                      and files_of(older) == ["Java/bin/Javaw.exe", "tarnix2018.exe", "tarnix2018.jar"]
                      and same(older / "tarnix2018.jar", HOME / "old.jar") and wine.entry(b["old"], "DisplayVersion") == "1.0.0"]
        wine.uninstall([b["old"]])
        remove(newer)
    seen += [untouched == [True, True]]
    # A link put in the older folder: the check refuses the move, what it leads to untouched.
    wine.msiexec("/i", b["old"], "INSTALLDIR=C:\\TarnixVelha")
    elsewhere = foreign(c / "TarnixAlheia", "bin/Javaw.exe")
    shutil.rmtree(older / "Java/bin")
    (older / "Java/bin").symlink_to("../../TarnixAlheia/bin")
    seen += [wine.msiexec("/i", b["new"], "INSTALLDIR=C:\\TarnixNova") != 0
             and "CheckInstallFolder: refused (reparse): C:\\TarnixVelha\\Java\\bin" in wine.logged()
             and same(elsewhere / "bin/Javaw.exe", STAND_IN) and wine.entry(b["old"], "DisplayVersion") == "1.0.0"]
    return seen


FINDS_JAVA = ["a bare package given JAVA_REQUIRED=1 where no Java is registered is refused, its log saying what is "
              "missing, nothing installed",
              "without it, or given JAVA_REQUIRED=0, the bare package installs, the same line in its log",
              "an upgrade given JAVA_REQUIRED=1 is refused and leaves the older version installed",
              "a removal given JAVA_REQUIRED=1 is never refused",
              "with a Java 1.8 registered, JAVA_REQUIRED=1 installs, the log naming the Javaw.exe the launcher will start",
              "with that Java's bin folder open to everyone, JAVA_REQUIRED=1 is refused, the log naming the folder and "
              "who may change it; without it the install goes on, saying so",
              "a package with a runtime of its own does not look: JAVA_REQUIRED=1 installs it"]


@scenario(FINDS_JAVA)
def finds_java(wine):
    b, home = wine.built, wine.drive_c / "JavaTeste"
    missing = ("FindJava: no Java the launcher can start: HKLM\\Software\\JavaSoft\\Java Runtime Environment\\1.8 "
               "is in neither the 64-bit nor the 32-bit view")
    seen = [wine.msiexec("/i", b["bare"], "JAVA_REQUIRED=1") == 1603 & 0xFF and missing in wine.logged()
            and wine.entry(b["bare"], "DisplayName") == ""]
    seen += [wine.msiexec("/i", b["bare"], "JAVA_REQUIRED=0") == 0 and wine.msiexec("/x", b["bare"]) == 0
             and wine.msiexec("/i", b["bare"]) == 0 and missing in wine.logged()]
    seen += [wine.msiexec("/i", b["bare-new"], "JAVA_REQUIRED=1") == 1603 & 0xFF
             and wine.entry(b["bare"], "DisplayVersion") == "1.0.0" and wine.entry(b["bare-new"], "DisplayName") == ""]
    seen += [wine.msiexec("/x", b["bare"], "JAVA_REQUIRED=1") == 0 and wine.entry(b["bare"], "DisplayName") == ""]
    (home / "bin").mkdir(parents=True)
    shutil.copy(STAND_IN, home / "bin" / "javaw.exe")  # as runtimes ship it
    wine.run("reg", "add", JAVA + "\\Java Runtime Environment\\1.8", "/v", "JavaHome", "/d", "C:\\JavaTeste", "/f",
             "/reg:64")
    found = ("FindJava: HKLM\\Software\\JavaSoft\\Java Runtime Environment\\1.8 (64-bit view), JavaHome "
             "C:\\JavaTeste: the launcher will start C:\\JavaTeste\\bin\\Javaw.exe")
    seen += [wine.msiexec("/i", b["bare"], "JAVA_REQUIRED=1") == 0 and found in wine.logged()
             and "others may change it" not in wine.logged()]
    wine.uninstall([b["bare"]])
    os.chmod(home / "bin", 0o777)
    changeable = found + "; others may change it: refused (writable): C:\\JavaTeste\\bin for S-1-1-0"
    seen += [wine.msiexec("/i", b["bare"], "JAVA_REQUIRED=1") == 1603 & 0xFF and changeable in wine.logged()
             and wine.entry(b["bare"], "DisplayName") == ""
             and wine.msiexec("/i", b["bare"]) == 0 and changeable in wine.logged()]
    wine.uninstall([b["bare"]])
    wine.run("reg", "delete", JAVA, "/f", "/reg:64")
    seen += [wine.msiexec("/i", b["old"], "JAVA_REQUIRED=1") == 0 and "FindJava" not in wine.logged()]
    return seen


# Every scenario's rows, in order: the scenario's fixture, what it shows, its checks, its part.
SCENARIOS = [("upgrade", "upgrade, rebuild and downgrade", UPGRADE, "upgrades-1"),
             ("given", "upgrades with and without the folder and shortcut given", GIVEN, "upgrades-1"),
             ("chooses", "only an install or an upgrade chooses the folder", CHOOSES, "upgrades-2"),
             ("in_place", "what an upgrade in place may keep", IN_PLACE, "upgrades-3"),
             ("races", "what is made in the folder after it was judged is never adopted", RACES, "upgrades-2"),
             ("finds_java", "a bare package says whether the launcher will find Java", FINDS_JAVA, "upgrades-1")]


@pytest.mark.parametrize("scenario, check", [pytest.param(fixture, check, id=f"{shows}: {check}")
                                             for fixture, shows, checks, part in SCENARIOS for check in checks
                                             if PART in (None, part)])
def test_scenario(request, scenario, check):
    assert request.getfixturevalue(scenario)[check]
