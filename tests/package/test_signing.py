"""A package signed with a throwaway certificate and time-stamped by a
loopback authority: the password never on a command line, each signature
verified, and what it installs under Wine's msiexec signed too."""
import pathlib
import subprocess
import time

import pytest

from conftest import (BUILD, ROOT, Wine, archive, certificate, command, environment, extracted, work_folder,
                      wrappers)

# Where the package installs on 64-bit Windows, in the part's Wine prefix.
INSTALLED = pathlib.Path("drive_c/Program Files (x86)/Velmora/Tarnix Cadastro 2018/tarnix2018.exe")


@pytest.fixture(scope="module")
def signed():
    """The signed build, with every command line it ran and the authority's certificate."""
    w = work_folder("signing")
    archive(w / "old.jar", "version 1.0.0")
    certificate(w, "signer", "extendedKeyUsage=codeSigning")
    wrappers(w / "wrappers")
    authority = subprocess.Popen([ROOT / "tests" / "tools" / "timestamp-authority", w / "tsa"],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        end = time.monotonic() + 30
        while not (w / "tsa" / "url").exists() and time.monotonic() < end:
            time.sleep(0.1)
        # Every command line the build runs, recorded by a wrapper first on PATH.
        variables = environment(TARNIX_RECORD=str(w / "commands"),
                                PATH=f"{w / 'wrappers'}:{environment()['PATH']}")
        result = subprocess.run(command(w / "old.jar", "--sign", w / "signer.pfx", "--timestamp",
                                        (w / "tsa" / "url").read_text().strip(), "--output", w / "signed"),
                                env=variables, capture_output=True, text=True, stdin=subprocess.DEVNULL)
    finally:
        authority.terminate()
        authority.wait()
    return w, result


def verified(work, path):
    return subprocess.run(["osslsigncode", "verify", "-CAfile", work / "signer.pem", "-TSA-CAfile",
                           work / "tsa" / "tsa.crt", "-in", path], capture_output=True, text=True).stdout


def test_a_package_signed_and_time_stamped_is_built(signed):
    assert signed[1].returncode == 0, signed[1].stderr


def test_the_password_is_on_no_command_line_nor_in_any_tools_environment(signed):
    commands = (signed[0] / "commands").read_text()
    assert any(line.startswith("osslsigncode sign ") and "-readpass" in line for line in commands.splitlines())
    assert "test-password" not in commands and "password in the environment" not in commands


@pytest.mark.parametrize("line", [
    pytest.param("Signature verification: ok", id="its signature verifies against that certificate"),
    pytest.param("Timestamp Server Signature verification: ok",
                 id="its time stamp verifies against the authority's certificate"),
])
def test_the_signed_package_verifies(signed, line):
    assert line in verified(signed[0], signed[0] / "signed" / "tarnix2018-1.0.0.msi").splitlines()


def test_the_launcher_it_installs_is_signed_and_time_stamped_too(signed):
    wine = Wine(signed[0])
    package_file = signed[0] / "signed" / "tarnix2018-1.0.0.msi"
    assert wine.msiexec("/i", package_file) == 0
    try:
        assert "Timestamp Server Signature verification: ok" in verified(signed[0], wine.prefix / INSTALLED).splitlines()
    finally:
        assert wine.msiexec("/x", package_file) == 0


def test_the_custom_action_it_carries_is_signed_and_time_stamped_too(signed):
    work = signed[0]
    (work / "folder_check.dll").write_bytes(extracted(work / "signed" / "tarnix2018-1.0.0.msi", "Binary.FolderCheck"))
    assert "Timestamp Server Signature verification: ok" in verified(work, work / "folder_check.dll").splitlines()


def test_the_launchers_own_build_is_still_unsigned(signed):
    assert subprocess.run(["osslsigncode", "verify", "-in", BUILD / "tarnix2018.exe"],
                          capture_output=True).returncode != 0
