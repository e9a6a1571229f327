"""The product and package codes, from every input of a build."""
import hashlib
import pathlib
import uuid

# Name-based identifiers of this product live under one namespace (its
# upgrade code).
NAMESPACE = uuid.UUID("58915C60-5E7A-47CF-BB86-62FF72C6BDF9")


def codes(folder, version, timestamp, sources):
    """The product and package codes: one digest of every staged file (name
    and bytes), the version, the time and the packaging sources, so that
    equal inputs give one package and any difference another."""
    root = pathlib.Path(folder)
    staged = [(str(p.relative_to(root)), p) for p in root.rglob("*") if p.is_file()]
    for code in codes_of(staged, version, timestamp, sources):
        print(code)


def codes_of(staged, version, timestamp, sources):
    """The product and package codes of the files staged as (name, path),
    taken in the order of their names' parts, whatever order they are given in."""
    digest = hashlib.sha256(f"version {version}\ntime {timestamp}\n".encode())
    named = sorted(staged, key=lambda item: pathlib.PurePosixPath(item[0]).parts) + [(f"source {pathlib.Path(s).name}", pathlib.Path(s)) for s in sources]
    for name, path in named:
        with open(path, "rb") as stream:
            content = hashlib.file_digest(stream, "sha256").hexdigest()
        digest.update(f"{name}\0{content}\n".encode())
    value = digest.hexdigest()
    return [str(uuid.uuid5(NAMESPACE, f"{kind} {value}")).upper() for kind in ("product", "package")]
