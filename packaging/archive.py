"""The application archive: a whole zip that java -jar can start."""
import zipfile

from failure import fail


def main_class(manifest):
    """The Main-Class of a manifest's main section, or None. Names are
    compared without letter case, and a line that starts with a space
    continues the one before, as java reads a manifest."""
    attributes, name = {}, None
    for line in manifest.decode("utf-8", "replace").replace("\r\n", "\n").replace("\r", "\n").split("\n"):
        if not line:
            break  # the main section ends at the first blank line
        if line.startswith(" ") and name:
            attributes[name] += line[1:]
        elif ":" in line:
            name, value = line.split(":", 1)
            name = name.strip().lower()
            attributes[name] = value.strip()
    return attributes.get("main-class") or None


def check_archive(path):
    """Every entry read to its end against its checksum, and a manifest
    whose main section names a Main-Class; fails in one line otherwise."""
    try:
        with zipfile.ZipFile(path) as archive:
            damaged = archive.testzip()
            if damaged is not None:
                fail(f"the archive {path} is damaged: {damaged} does not match its checksum")
            try:
                manifest = archive.read("META-INF/MANIFEST.MF")
            except KeyError:
                fail(f"the archive {path} has no META-INF/MANIFEST.MF, which java -jar needs")
    except (zipfile.BadZipFile, zipfile.LargeZipFile, EOFError, OSError, ValueError) as error:
        fail(f"the archive {path} is not a whole Java archive ({error})")
    if main_class(manifest) is None:
        fail(f"the archive {path} names no Main-Class in META-INF/MANIFEST.MF, which java -jar needs")
