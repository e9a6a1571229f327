"""scripts/package's answers to bad input: each refused with one line that
names the problem, a failure status, and nothing written."""
import os
import re
import shlex
import shutil
import subprocess
import zipfile

import pytest

from conftest import archive, certificate, package, pkcs12, runtime, work_folder

# (name, arguments, what the one line says: a regular expression), {w} the
# work folder; the output folder is {w}/bad unless the row says otherwise.
ROWS = [
    ("no archive", "--output {w}/bad", "no archive given"),
    ("not a zip archive", "{w}/not-an-archive.jar", r"not-an-archive\.jar is not a whole Java archive"),
    ("a truncated archive", "{w}/truncated.jar", r"truncated\.jar is not a whole Java archive"),
    ("a zip header and garbage", "{w}/garbage.jar", r"garbage\.jar is not a whole Java archive"),
    ("an archive without a manifest", "{w}/no-manifest.jar", "has no META-INF/MANIFEST.MF"),
    ("a manifest without Main-Class", "{w}/no-main-class.jar", "names no Main-Class"),
    ("Main-Class only in an entry's section", "{w}/main-class-in-an-entry.jar", "names no Main-Class"),
    ("an entry that does not match its checksum", "{w}/damaged.jar",
     r"damaged\.jar is damaged: version\.txt does not match its checksum"),
    ("runtime with a link into a sibling of a like name", "{w}/old.jar --runtime {w}/rt",
     "links to outside it: lib/leak.txt -> {w}/rt-outro/secret.txt$"),
    ("--runtime without its folder", "{w}/old.jar --runtime --output {w}/bad", "--runtime lacks its value"),
    ("runtime with a link to /proc/self/environ", "{w}/old.jar --runtime {w}/environment",
     "links to outside it: lib/logging.properties -> /proc/"),
    ("runtime with a link to a file outside", "{w}/old.jar --runtime {w}/file-outside",
     "links to outside it: lib/leak.txt -> {w}/secret.txt$"),
    ("runtime with a link to a folder outside", "{w}/old.jar --runtime {w}/folder-outside",
     "links to outside it: lib/classes -> {w}/classes$"),
    ("runtime without bin\\Javaw.exe", "{w}/old.jar --runtime {w}/empty-runtime", "has no bin"),
    ("runtime with a link to nothing", "{w}/old.jar --runtime {w}/broken-link", "links to nothing: lib/gone$"),
    ("runtime with a link that loops", "{w}/old.jar --runtime {w}/loop", "links that loop: lib/again$"),
    ("names outside the code page", "{w}/old.jar --runtime {w}/outside-code-page",
     r"\(Windows-1252\): lib/zł\.txt, lib/Ω\.txt$"),
    ("a name Windows reserves", "{w}/old.jar --runtime {w}/reserved-name",
     r"names Windows does not allow: lib/aux\.txt$"),
    ("names that differ only in letter case", "{w}/old.jar --runtime {w}/letter-case",
     r"letter case: lib/README\.txt and lib/Readme\.txt$"),
    ("a path too long to install", "{w}/old.jar --runtime {w}/long-path",
     r"\(259 characters in C:.Program Files \(x86\).Velmora.Tarnix Cadastro 2018.Java\): lib/n+\.txt$"),
    ("more files than the cabinet holds", "{w}/old.jar --runtime {w}/many-files",
     "would hold 65536 files .*at most 65535$"),
    ("more bytes than the cabinet holds", "{w}/old.jar --runtime {w}/big-files", "bytes .*at most 2147450880"),
    ("version 256.0.0", "{w}/old.jar --version 256.0.0", r"version '256\.0\.0' is not"),
    ("version 1.256.0", "{w}/old.jar --version 1.256.0", r"version '1\.256\.0' is not"),
    ("version 1.0.65536", "{w}/old.jar --version 1.0.65536", r"version '1\.0\.65536' is not"),
    ("version 1.0.00", "{w}/old.jar --version 1.0.00", r"version '1\.0\.00' is not"),
    ("empty version", "{w}/old.jar --version ''", "version '' is not"),
    ("a certificate that is no PKCS#12 file", "{w}/old.jar --sign {w}/broken.pfx",
     r"broken\.pfx is not a PKCS#12 file"),
    ("a PEM certificate given for a .pfx", "{w}/old.jar --sign {w}/signer.pem",
     r"signer\.pem is not a PKCS#12 file"),
    ("a missing certificate", "{w}/old.jar --sign {w}/none.pfx", r"none\.pfx does not exist or cannot be read"),
    ("a wrong password", "{w}/old.jar --sign {w}/other-password.pfx",
     "TARNIX_SIGN_PASSWORD does not open the certificate"),
    ("a signed build of a version already in its folder",
     "{w}/old.jar --sign {w}/signer.pfx --version 1.0.0 --output {w}/dist", r"already holds tarnix2018-1\.0\.0\.msi"),
    ("certificate for servers only", "{w}/old.jar --sign {w}/server.pfx", "not for code signing"),
    ("expired certificate", "{w}/old.jar --sign {w}/expired.pfx", "has expired"),
    ("icon that is not an icon", "{w}/old.jar --icon {w}/old.jar",
     r"not a whole Windows icon \(\.ico\): no icon header"),
    ("a four-byte icon", "{w}/old.jar --icon {w}/four-bytes.ico",
     r"not a whole Windows icon \(\.ico\): shorter than an icon's header"),
    ("output given a file", "{w}/old.jar --output {w}/a-file",
     r"the output .*/a-file is a file, not a folder: give --output the folder the package goes into$"),
]


@pytest.fixture(scope="module")
def work():
    """Every bad input, made once."""
    w = work_folder("bad-input")
    archive(w / "old.jar", "version 1.0.0")
    (w / "classes").mkdir()
    (w / "classes" / "version.txt").write_text("version 1.0.0\n")
    certificate(w, "server", "extendedKeyUsage=serverAuth")
    certificate(w, "signer", "extendedKeyUsage=codeSigning")
    pkcs12(w, "signer", "other-password", "another-password")
    (w / "four-bytes.ico").write_bytes(b"\0\0\1\0")
    (w / "not-an-archive.jar").write_text("plain text\n")
    (w / "empty-runtime" / "bin").mkdir(parents=True)
    (w / "broken.pfx").write_text("not a certificate\n")
    (w / "a-file").touch()
    (w / "secret.txt").write_text("secret\n")
    (w / "dist").mkdir()
    (w / "dist" / "tarnix2018-1.0.0.msi").write_bytes(b"published before")
    lib = {name: runtime(w / name) / "lib" for name in (
        "broken-link", "loop", "outside-code-page", "reserved-name", "letter-case", "long-path", "many-files",
        "environment", "file-outside", "folder-outside", "rt", "big-files")}
    (lib["broken-link"] / "gone").symlink_to(w / "nowhere")
    (lib["loop"] / "again").symlink_to("..")
    for name in ("Ω.txt", "zł.txt"):
        (lib["outside-code-page"] / name).touch()
    (lib["reserved-name"] / "aux.txt").touch()
    for name in ("Readme.txt", "README.txt"):
        (lib["letter-case"] / name).touch()
    (lib["long-path"] / ("n" * 200 + ".txt")).touch()
    # What the cabinet cannot hold is counted before anything is copied:
    # empty and sparse files, and no copy may grow past a few megabytes.
    for number in range(1, 65534):
        (lib["many-files"] / f"f{number}").touch()
    for name in ("one", "two", "three"):
        with open(lib["big-files"] / f"{name}.bin", "wb") as stream:
            stream.truncate(800 * 1024 * 1024)
    # Links out of the runtime: what they name must never reach the package.
    (lib["environment"] / "logging.properties").symlink_to("/proc/self/environ")
    (lib["file-outside"] / "leak.txt").symlink_to(w / "secret.txt")
    (lib["folder-outside"] / "classes").symlink_to(w / "classes")
    # A sibling whose name begins with the runtime's: outside it all the same.
    (w / "rt-outro").mkdir()
    (w / "rt-outro" / "secret.txt").write_text("secret\n")
    (lib["rt"] / "leak.txt").symlink_to("../../rt-outro/secret.txt")
    # Archives java -jar cannot start.
    with zipfile.ZipFile(w / "big.jar", "w") as stream:
        for number in range(64):
            stream.writestr(f"data/{number}.bin", os.urandom(1024))
    big = (w / "big.jar").read_bytes()
    (w / "truncated.jar").write_bytes(big[: len(big) // 2])
    (w / "garbage.jar").write_bytes(b"PK\3\4garbage")
    archive(w / "no-manifest.jar", "no manifest", manifest=None)
    archive(w / "no-main-class.jar", "version 1.0.0", manifest="Manifest-Version: 1.0\r\n\r\n")
    archive(w / "main-class-in-an-entry.jar", "version 1.0.0, stored whole",
            manifest="Manifest-Version: 1.0\r\n\r\nName: version.txt\r\nMain-Class: Main\r\n\r\n")
    damaged = bytearray(archive(w / "damaged.jar", "version 1.0.0, stored whole").read_bytes())
    damaged[damaged.index(b"stored whole")] ^= 0xFF  # no longer what its checksum says
    (w / "damaged.jar").write_bytes(damaged)
    expired_certificate(w)
    yield w
    shutil.rmtree(w / "many-files", ignore_errors=True)


def expired_certificate(w):
    """Expired: OpenSSL 3's req cannot back-date, its ca can."""
    (w / "ca").mkdir()
    (w / "ca" / "index.txt").touch()
    (w / "ca" / "serial").write_text("01\n")
    (w / "ca.cnf").write_text(
        f"[ca]\ndefault_ca = d\n[d]\ndatabase = {w}/ca/index.txt\nserial = {w}/ca/serial\n"
        f"new_certs_dir = {w}/ca\ndefault_md = sha256\npolicy = p\ncopy_extensions = copy\n[p]\ncommonName = supplied\n")
    openssl = lambda *arguments: subprocess.run(["openssl", *map(str, arguments)], check=True, capture_output=True)
    openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", w / "expired.key", "-out", w / "expired.csr",
            "-subj", "/CN=Velmora test", "-addext", "extendedKeyUsage=codeSigning")
    openssl("ca", "-batch", "-config", w / "ca.cnf", "-selfsign", "-keyfile", w / "expired.key", "-in",
            w / "expired.csr", "-out", w / "expired.pem", "-startdate", "20200101000000Z", "-enddate", "20200102000000Z")
    pkcs12(w, "expired", "expired", "test-password")


def refused_in_one_line(result, message, bad):
    lines = result.stderr.splitlines()
    assert result.returncode != 0, result.stderr
    assert len(lines) == 1 and re.search(message, lines[0]), result.stderr
    assert not bad.exists() or not any(bad.iterdir())


@pytest.mark.parametrize("arguments, message", [pytest.param(a, m, id=n) for n, a, m in ROWS])
def test_refused_in_one_line_writing_nothing(work, arguments, message):
    shutil.rmtree(work / "bad", ignore_errors=True)
    arguments = shlex.split(arguments.format(w=shlex.quote(str(work))))
    if "--output" not in arguments:
        arguments += ["--output", work / "bad"]
    result = package(*arguments, file_limit=8 << 20)
    refused_in_one_line(result, message.format(w=re.escape(str(work))), work / "bad")


@pytest.mark.parametrize("password, message", [
    pytest.param(None, "TARNIX_SIGN_PASSWORD is not set: it must hold the password of", id="unset password"),
    pytest.param("", "the password in TARNIX_SIGN_PASSWORD does not open the certificate",
                 id="an empty password is a wrong one, not an unset one"),
])
def test_signing_password(work, password, message):
    result = package(work / "old.jar", "--sign", work / "signer.pfx", "--output", work / "bad", password=password)
    refused_in_one_line(result, message, work / "bad")


def test_a_silent_time_stamp_authority_is_named_alone(work):
    # Nothing listens on port 9 of this machine.
    result = package(work / "old.jar", "--sign", work / "signer.pfx", "--timestamp", "http://127.0.0.1:9/",
                     "--output", work / "bad")
    lines = result.stderr.splitlines()
    assert result.returncode != 0 and all(line.startswith("package: ") for line in lines), result.stderr
    assert lines[-1] == "package: the time-stamp authority http://127.0.0.1:9/ did not answer; nothing was written"
    assert not (work / "bad").exists() or not any((work / "bad").iterdir())


@pytest.mark.parametrize("option", ["--help", "-h"])
def test_usage_names_every_option_and_the_environment(option):
    result = package(option)
    assert result.returncode == 0 and result.stderr == ""
    assert re.search(r"^usage: scripts/package ARCHIVE", result.stdout, re.MULTILINE)
    assert "TARNIX_SIGN_PASSWORD" in result.stdout
    for name in ("--runtime", "--icon", "--sign", "--timestamp", "--output", "--version"):
        assert re.search(rf"^  {name} ", result.stdout, re.MULTILINE), name
