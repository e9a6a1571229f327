"""scripts/package's output folder: versions side by side, builds at once,
a full disk, what SHA256SUMS vouches for, progress and the lock, and
interruptions at every step, each ending only the processes it started."""
import fcntl
import os
import pathlib
import re
import shutil
import signal
import subprocess
import time

import pytest

from conftest import (BUILD, archive, built, certificate, command, environment, listed, package, runtime,
                      work_folder, wrappers)
from publish import publish  # noqa: E402  (the product's own last step)


@pytest.fixture(scope="module")
def work():
    # A full folder left mounted by a run that stopped half-way goes first.
    subprocess.run(["umount", BUILD / "package-test-output" / "full"], capture_output=True)
    w = work_folder("output")
    archive(w / "old.jar", "version 1.0.0")
    archive(w / "new.jar", "version 1.1.0")
    runtime(w / "runtime")
    many = runtime(w / "many-files-fit") / "lib"
    for number in range(1, 20001):
        (many / f"f{number}").touch()
    certificate(w, "signer", "extendedKeyUsage=codeSigning")
    wrappers(w / "wrappers")
    return w


def all_listed(folder):
    """Whether SHA256SUMS verifies there and lists exactly its packages."""
    return listed(folder) == sorted(path.name for path in folder.glob("*.msi"))


VERSIONS = ["1.0.65535", "255.255.0", "0.0.1"]


@pytest.fixture(scope="module")
def versions(work):
    folder = work / "versions"
    return folder, {version: package(work / "old.jar", "--version", version, "--output", folder) for version in VERSIONS}


@pytest.mark.parametrize("version", VERSIONS)
def test_version_builds(versions, version):
    assert versions[1][version].returncode == 0, versions[1][version].stderr


def test_three_versions_in_one_folder_are_all_listed_and_nothing_else_left(versions):
    folder = versions[0]
    assert all_listed(folder) and len(list(folder.iterdir())) == 4


def test_three_pairs_of_builds_at_once_into_one_folder(work):
    folder = work / "together"
    folder.mkdir()
    builds = [subprocess.Popen(command(work / "old.jar", "--version", f"1.{minor}.{pair}", "--output", folder),
                               env=environment(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
              for pair in (1, 2, 3) for minor in (1, 2)]
    assert [build.wait() for build in builds] == [0] * 6
    assert all_listed(folder) and len(list(folder.iterdir())) == 7


def test_a_full_output_folder_is_said_and_left_as_it_was(work, versions):
    full = work / "full"
    full.mkdir()
    # Room for one package and a little, not for a second.
    room = (versions[0] / "tarnix2018-0.0.1.msi").stat().st_size * 3 // 2 // 1024
    if subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={room}k", "tarnix-test", full],
                      capture_output=True).returncode != 0:
        pytest.skip("no tmpfs can be mounted here")
    try:
        built(work / "old.jar", "--version", "1.0.0", "--output", full)
        before = sorted(os.listdir(full)), (full / "SHA256SUMS").read_text()
        result = package(work / "old.jar", "--version", "1.1.0", "--output", full)
        assert result.returncode != 0 and "failed: No space left on device" in result.stderr.splitlines()[-1]
        assert (sorted(os.listdir(full)), (full / "SHA256SUMS").read_text()) == before and all_listed(full)
    finally:
        subprocess.run(["umount", full], check=True)


@pytest.fixture(scope="module")
def published(work):
    """1.0.0 built and listed once; each row starts from a copy."""
    folder = work / "published"
    built(work / "old.jar", "--version", "1.0.0", "--output", folder)
    return folder


@pytest.fixture
def listing(work, published, request):
    folder = work / f"listing-{request.node.name}"
    shutil.rmtree(folder, ignore_errors=True)
    shutil.copytree(published, folder)
    return folder


def test_a_package_changed_after_it_was_listed_fails_the_next_build(work, listing):
    with open(listing / "tarnix2018-1.0.0.msi", "r+b") as stream:
        stream.seek(4096)
        stream.write(b"XXXX")
    before = (listing / "SHA256SUMS").read_text()
    result = package(work / "old.jar", "--version", "1.0.1", "--output", listing)
    assert result.returncode != 0 and " no longer matches" in result.stderr.splitlines()[-1]
    assert "tarnix2018-1.0.0.msi in " in result.stderr.splitlines()[-1]
    assert (listing / "SHA256SUMS").read_text() == before and not (listing / "tarnix2018-1.0.1.msi").exists()


def test_a_package_copied_in_by_hand_is_not_listed_and_the_build_says_so(work, listing):
    shutil.copy(listing / "tarnix2018-1.0.0.msi", listing / "copied-by-hand.msi")
    result = built(work / "old.jar", "--version", "1.0.1", "--output", listing)
    assert result.stdout.splitlines() == [f"{listing}/tarnix2018-1.0.1.msi", f"{listing}/SHA256SUMS"]
    assert any("not listing " in line and "copied-by-hand.msi" in line for line in result.stderr.splitlines())
    names = [line[66:] for line in (listing / "SHA256SUMS").read_text().splitlines()]
    assert names == ["tarnix2018-1.0.0.msi", "tarnix2018-1.0.1.msi"]


def test_a_second_build_of_one_version_with_other_contents_is_refused(work, listing):
    before = (listing / "tarnix2018-1.0.0.msi").read_bytes()
    result = package(work / "new.jar", "--version", "1.0.0", "--output", listing)
    assert result.returncode != 0 and "staging" not in result.stderr, "refused before anything is staged"
    assert "already exists with other contents; raise the version or remove" in result.stderr.splitlines()[-1]
    assert (listing / "tarnix2018-1.0.0.msi").read_bytes() == before and all_listed(listing)
    # Nor does publishing itself, the last step a signed build (which skips the early check) meets.
    (work / "other.msi").write_bytes(b"another build")
    with pytest.raises(SystemExit):
        publish(str(listing), str(work / "other.msi"), "tarnix2018-1.0.0.msi", "token")
    assert (listing / "tarnix2018-1.0.0.msi").read_bytes() == before and all_listed(listing)


def test_an_identical_rebuild_of_that_version_passes(work, listing):
    built(work / "old.jar", "--version", "1.0.0", "--output", listing)


@pytest.fixture(scope="module")
def locked_build(work):
    """A build into a folder whose lock the test holds: what it said while
    waiting, what the folder held, then its status once released."""
    folder = work / "locked"
    folder.mkdir()
    progress = work / "locked-progress"
    lock = os.open(folder, os.O_RDONLY)
    fcntl.flock(lock, fcntl.LOCK_EX)
    with open(progress, "w") as stream:
        build = subprocess.Popen(command(work / "old.jar", "--output", folder), env=environment(),
                                 stdout=subprocess.DEVNULL, stderr=stream)
    try:
        end = time.monotonic() + 120
        while build.poll() is None and "waiting for another build" not in progress.read_text():
            assert time.monotonic() < end, "the build never said it waits"
            time.sleep(0.1)
        waiting = build.poll() is None, progress.read_text().splitlines(), os.listdir(folder)
    finally:
        os.close(lock)
    return waiting, build.wait(timeout=300), folder


def test_while_the_lock_is_held_the_build_has_said_each_step_and_publishes_nothing(locked_build):
    (still_running, lines, held), _, _ = locked_build
    steps = [re.sub(r" to .*| tarnix2018-.*", "", re.sub(r"[0-9.]* files \([0-9.]* MB\)", "N files", line))
             for line in lines]
    assert still_running and held == []
    assert steps == ["package: staging N files", "package: building and compressing", "package: finishing the tables",
                     "package: checking the cabinet against the File table", "package: publishing",
                     "package: waiting for another build"]


def test_once_released_the_package_is_published_and_listed(locked_build):
    _, status, folder = locked_build
    assert status == 0 and all_listed(folder) and (folder / "tarnix2018-1.0.0.msi").exists()


def held_group(record):
    """The process group of the step the wrapper holds, once it says so."""
    held = pathlib.Path(f"{record}.held")
    return int(held.read_text()) if held.exists() and held.read_text().strip() else None


def in_group(group):
    """The live processes of a process group, by their ids (a zombie has
    ended, and waits only for whoever reaps it)."""
    found = []
    for stat in pathlib.Path("/proc").glob("[0-9]*/stat"):
        try:
            fields = stat.read_text().rsplit(")", 1)[1].split()
        except OSError:
            continue
        if int(fields[2]) == group and fields[0] != "Z":
            found.append(int(stat.parent.name))
    return found


@pytest.mark.parametrize("name", ["INT", "TERM"])
@pytest.mark.parametrize("step", ["staging", "osslsigncode sign", "wixl", "msibuild", "msiinfo extract"])
def test_an_interrupted_build_leaves_one_last_line_no_process_and_nothing_written(work, name, step):
    tmp, record, output = work / f"tmp-{name}", work / f"record-{name}", work / "interrupted"
    for path in (tmp, output, record, pathlib.Path(f"{record}.held")):
        shutil.rmtree(path, ignore_errors=True) if path.is_dir() else path.unlink(missing_ok=True)
    tmp.mkdir()
    variables = environment(TMPDIR=str(tmp), PATH=f"{work / 'wrappers'}:{os.environ['PATH']}",
                            TARNIX_RECORD=str(record), TARNIX_HOLD=step)
    source = work / ("many-files-fit" if step == "staging" else "runtime")
    with open(work / f"err-{name}", "w+") as err:
        # As a shell started from a terminal would: SIGINT not ignored.
        build = subprocess.Popen(command(work / "old.jar", "--runtime", source, "--sign", work / "signer.pfx",
                                         "--output", output), env=variables, stdout=subprocess.DEVNULL, stderr=err,
                                 preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
        group = None
        try:
            end = time.monotonic() + 60
            while build.poll() is None and time.monotonic() < end:
                group = held_group(record)
                if (step == "staging" and list(tmp.glob("tarnix2018-package.*/stage/Java"))) or group:
                    break
                time.sleep(0.05)
            build.send_signal(getattr(signal, f"SIG{name}"))
            status = build.wait(timeout=120)
            time.sleep(0.2)
            err.seek(0)
            lines = err.read().splitlines()
            assert status != 0 and lines[-1] == f"package: interrupted by SIG{name}; nothing was written to {output}"
            assert group is None or in_group(group) == [], "the held step is still running"
            assert list(tmp.iterdir()) == [] and (not output.exists() or list(output.iterdir()) == [])
        finally:
            # Only what this row started, whatever happened.
            if build.poll() is None:
                build.kill()
            if group:
                for pid in in_group(group):
                    os.kill(pid, signal.SIGKILL)
