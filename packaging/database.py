"""Reading and rewriting the tables of a built package with msitools."""
import pathlib
import subprocess


def export_table(msi, table):
    """The table's three header lines and its rows; no rows when it is absent."""
    exported = subprocess.run(["msiinfo", "export", msi, table], capture_output=True)
    if exported.returncode != 0:
        if table not in subprocess.run(["msiinfo", "tables", msi], check=True, capture_output=True,
                                       text=True).stdout.split():
            return [], []
        exported.check_returncode()
    lines = exported.stdout.decode("utf-8").split("\r\n")
    return lines[:3], [line.split("\t") for line in lines[3:] if line]


def write_table(folder, table, header, rows):
    """The table as a file for msibuild -i, which replaces the table; the
    options that import it."""
    text = "\r\n".join(header + ["\t".join(row) for row in rows]) + "\r\n"
    with open(f"{folder}/{table}.idt", "w", encoding="utf-8", newline="") as stream:
        stream.write(text)
    return ["-i", f"{table}.idt"]


def long_name(column):
    """The long name of a short|long name column."""
    return column.split("|")[-1]


def files_with_folders(msi):
    """The File table, and the Directory of each file (through its component)."""
    header, files = export_table(msi, "File")
    component_folder = {row[0]: row[2] for row in export_table(msi, "Component")[1]}
    return header, files, {row[0]: component_folder[row[1]] for row in files}


def folder_paths(msi):
    """Each Directory row's path below INSTALLDIR, by its key; those not
    below it left out."""
    parent = {row[0]: (row[1], long_name(row[2].split(":")[0])) for row in export_table(msi, "Directory")[1]}

    def path_of(directory):
        if directory == "INSTALLDIR":
            return pathlib.PurePosixPath()
        if directory not in parent:
            return None
        up, name = parent[directory]
        above = path_of(up)
        return None if above is None else above / name

    return {key: path for key in parent if (path := path_of(key)) is not None}


def file_paths(msi, files, file_folder, below=None):
    """Each File row's path below INSTALLDIR, by its key (below: the
    folders' paths, where already read)."""
    below = below or folder_paths(msi)
    return {row[0]: below[file_folder[row[0]]] / long_name(row[2]) for row in files}
