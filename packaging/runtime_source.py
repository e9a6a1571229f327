"""The generated parts of the package's source: the runtime's components,
and the product and package codes."""
import hashlib
import pathlib
import sys
import uuid
from xml.sax.saxutils import quoteattr

# Name-based identifiers of this product live under one namespace (its
# upgrade code).
NAMESPACE = uuid.UUID("58915C60-5E7A-47CF-BB86-62FF72C6BDF9")


def identifier(kind, relative):
    # From the path inside the package alone: not the staging folder, not
    # the order a file system lists a folder in.
    return kind + hashlib.sha1(f"{kind}:{relative}".encode()).hexdigest().upper()


def component_guid(relative):
    # Stable for a path across versions, as the component rules want.
    return str(uuid.uuid5(NAMESPACE, f"runtime file {relative.lower()}")).upper()


def runtime_wxs(folder):
    """WiX source of FOLDER/Java, one component a file, on standard output."""
    root = pathlib.Path(folder)
    lines = ['<?xml version="1.0" encoding="utf-8"?>',
             '<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">',
             "  <Fragment>", '    <DirectoryRef Id="INSTALLDIR">']
    components = []

    def emit(path, relative, depth):
        pad = "  " * depth
        name = quoteattr(path.name.replace("$", "$$"))
        lines.append(f'{pad}<Directory Id="{identifier("D", relative)}" Name={name}>')
        for child in sorted(path.iterdir(), key=lambda p: p.name):
            child_relative = f"{relative}/{child.name}"
            if child.is_dir():
                emit(child, child_relative, depth + 1)
                continue
            component = identifier("C", child_relative)
            components.append(component)
            source = quoteattr(str(child.relative_to(root)).replace("$", "$$"))
            lines.append(f'{pad}  <Component Id="{component}" Guid="{component_guid(child_relative)}">')
            name = quoteattr(child.name.replace("$", "$$"))
            lines.append(f'{pad}    <File Id="{identifier("F", child_relative)}" '
                         f'Name={name} Source={source} KeyPath="yes"/>')
            lines.append(f"{pad}  </Component>")
        lines.append(f"{pad}</Directory>")

    emit(root / "Java", "Java", 3)
    lines += ["    </DirectoryRef>", '    <ComponentGroup Id="Runtime">']
    lines += [f'      <ComponentRef Id="{c}"/>' for c in components]
    lines += ["    </ComponentGroup>", "  </Fragment>", "</Wix>", ""]
    sys.stdout.write("\n".join(lines))


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
