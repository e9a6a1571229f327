"""The package on 32-bit Windows (a WINEARCH=win32 prefix, which CTest gives
this part): its default folder, an ordinary one, the Windows folder and a
link to it refused, and a first install whose folder gets a DLL after the
check."""
import shutil

import pytest

from conftest import Wine, work_folder
from packages import prebuilt


@pytest.fixture(scope="module")
def wine():
    machine = Wine(work_folder("win32"))
    machine.package = prebuilt("old")
    # What a run that stopped half-way left.
    for leftover in ("Program Files/Velmora", "Tarnix Win32", "windows/Tarnix", "TarnixCorrida"):
        shutil.rmtree(machine.drive_c / leftover, ignore_errors=True)
    (machine.drive_c / "revwin").unlink(missing_ok=True)
    return machine


def test_the_prefix_is_32_bit_windows(wine):
    assert not (wine.drive_c / "Program Files (x86)").exists()
    assert not (wine.drive_c / "windows" / "syswow64").exists()


@pytest.fixture(scope="module")
def default_install(wine):
    """1.0.0 installed to the default folder, then uninstalled: what each left."""
    folder = wine.drive_c / "Program Files" / "Velmora" / "Tarnix Cadastro 2018"
    installed = wine.msiexec("/i", wine.package) == 0 and all(
        (folder / name).is_file() for name in ("tarnix2018.exe", "Java/bin/Javaw.exe"))
    uninstalled = wine.msiexec("/x", wine.package) == 0 and not folder.parent.exists()
    return installed, uninstalled


def test_the_default_install_goes_to_program_files(default_install):
    assert default_install[0]


def test_and_uninstalls_leaving_nothing(default_install):
    assert default_install[1]


def test_an_ordinary_folder_installs_and_uninstalls(wine):
    folder = wine.drive_c / "Tarnix Win32"
    try:
        assert wine.msiexec("/i", wine.package, "INSTALLDIR=C:\\Tarnix Win32") == 0
        assert (folder / "tarnix2018.exe").is_file()
    finally:
        assert wine.msiexec("/x", wine.package) == 0
    assert not folder.exists()


@pytest.mark.parametrize("given, link", [
    pytest.param("C:\\Windows\\Tarnix", None, id="a folder below Windows"),
    pytest.param("C:\\revwin\\Tarnix", "revwin", id="a folder below a link to Windows"),
])
def test_a_folder_below_windows_is_refused_and_nothing_made(wine, given, link):
    if link:
        (wine.drive_c / link).symlink_to("windows")
    try:
        assert wine.msiexec("/i", wine.package, f"INSTALLDIR={given}") != 0
        assert "refused (system)" in wine.logged()
        assert not (wine.drive_c / "windows" / "Tarnix").exists()
    finally:
        if link:
            (wine.drive_c / link).unlink()


def test_a_first_install_whose_folder_gets_a_dll_after_the_check_adopts_nothing(wine):
    assert wine.first_install_race(wine.package)
