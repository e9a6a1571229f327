"""Publishing a built package into the output folder, one build at a time,
with a checksum list that vouches only for what it has checked."""
import fcntl
import hashlib
import os
import shutil

from database import export_table
from failure import fail, progress
from product_codes import codes_of
from staging import staged_names

LIST = "SHA256SUMS"


def digest(path):
    with open(path, "rb") as stream:
        return hashlib.file_digest(stream, "sha256").hexdigest()


def read_list(output):
    """{package name: its line} of the folder's list, in its order."""
    try:
        with open(os.path.join(output, LIST), encoding="utf-8") as stream:
            lines = [line.rstrip("\n") for line in stream if line.strip()]
    except FileNotFoundError:
        return {}
    return {line[66:]: line for line in lines}


def other_contents(target):
    fail(f"{target} already exists with other contents; raise the version or remove the old package")


def check_unpublished(target, version, timestamp, launcher, archive, runtime, *sources):
    """Before anything is staged: a package of this name already in the
    output folder is refused unless it was built from the same inputs (its
    product code follows from them), as publishing would refuse it at the end."""
    if not os.path.exists(target):
        return
    product, _ = codes_of(staged_names(launcher, archive, runtime or None), version, timestamp, sources)
    published = dict(row[:2] for row in export_table(target, "Property")[1]).get("ProductCode")
    if published != "{" + product + "}":
        other_contents(target)


def publish(output, built, name, token):
    """Copies built into output as name and adds its line to the list, each
    written under a name of this build's own (holding token) and renamed
    into place, the list last."""
    folder = os.open(output, os.O_RDONLY)
    try:
        fcntl.flock(folder, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        progress(f"waiting for another build to finish publishing to {output}")
        fcntl.flock(folder, fcntl.LOCK_EX)
    listed = read_list(output)
    # Every earlier line is carried forward only while its package still
    # matches; a package removed by hand takes its line with it.
    gone = []
    for listed_name, line in list(listed.items()):
        path = os.path.join(output, listed_name)
        if not os.path.isfile(path):
            gone.append(listed_name)
            del listed[listed_name]
        elif digest(path) != line[:64]:
            fail(f"{listed_name} in {output} no longer matches its line in {LIST}; nothing was published"
                 f" (restore it, or remove it and its line)")
    if gone:
        progress(f"dropping from {LIST} what is no longer in {output}: {', '.join(gone)}")
    unlisted = sorted(n for n in os.listdir(output)
                      if n.endswith(".msi") and n not in listed and n != name and not n.startswith("."))
    if unlisted:
        progress(f"not listing what {LIST} did not name before: {', '.join(unlisted)}")
    own = digest(built)
    target = os.path.join(output, name)
    if os.path.exists(target) and digest(target) != own:
        other_contents(target)
    listed[name] = f"{own}  {name}"
    copy = os.path.join(output, f".{name}.{token}")
    new_list = os.path.join(output, f".{LIST}.{token}")
    try:
        if not os.path.exists(target):
            shutil.copyfile(built, copy)
            os.chmod(copy, 0o644)
        with open(new_list, "w", encoding="utf-8") as stream:
            stream.writelines(listed[n] + "\n" for n in sorted(listed))
        os.chmod(new_list, 0o644)
        if os.path.exists(copy):
            os.replace(copy, target)
        os.replace(new_list, os.path.join(output, LIST))
    except OSError as error:
        for path in (copy, new_list):
            if os.path.exists(path):
                os.remove(path)
        fail(f"writing {name} or {LIST} to {output} failed: {error.strerror}; {output} is as it was")
