"""The generated part of the package's source: the runtime's components."""
import hashlib
import pathlib
import sys
import uuid
from xml.sax.saxutils import quoteattr

from product_codes import NAMESPACE


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
