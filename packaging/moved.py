"""What an upgrade that moves the application takes out of the older
version's folder. That version is removed once the newer one is installed,
and its removal leaves every file the two share (a component of one code
keeps its older copy while the newer version is its client): the package's
own files and folders go from there, through Windows Installer, which backs
them up for a rollback. The rows belong to the MovedFiles component, which
is installed only on such an upgrade (InstallDirMoved, which only the
folder check sets), and name the older folder through a copy of the
package's folders below InstallDirMovedFrom, which the check sets from
Windows Installer's own record of where that version is."""
ROOT = "InstallDirMovedFrom"
HEADER = ["FileKey\tComponent_\tFileName\tDirProperty\tInstallMode", "s72\ts72\tL255\ts72\ti2",
          "RemoveFile\tFileKey"]


def mirrored(directory):
    return ROOT if directory == "INSTALLDIR" else "Moved" + directory


def moved_files(directories, files, file_folder):
    """The copy of the folders at and below INSTALLDIR (Directory rows), and
    the RemoveFile rows: every file of the package by its name, then each
    folder, the deepest first, removed where it is left empty."""
    parent = {row[0]: row[1] for row in directories}

    def depth(directory):
        steps = 0
        while directory != "INSTALLDIR":
            if directory not in parent or not parent[directory]:
                return None
            directory, steps = parent[directory], steps + 1
        return steps

    below = sorted((steps, row) for row in directories if (steps := depth(row[0])) is not None)
    # Unset, the copy is the installation folder itself, never anyone else's.
    copies = [[ROOT, "INSTALLDIR", "."]]
    copies += [[mirrored(row[0]), mirrored(row[1]), row[2]] for steps, row in below if steps]
    removals = [["Moved" + row[0], "MovedFiles", row[2], mirrored(file_folder[row[0]]), "1"]
                for row in sorted(files, key=lambda row: row[0])]
    # Keys that sort the deepest folder first, where rows are read in key order.
    removals += [[f"MovedFolder{999 - steps:03d}{row[0]}", "MovedFiles", "", mirrored(row[0]), "1"]
                 for steps, row in sorted(below, key=lambda item: (-item[0], item[1][0]))]
    return copies, removals
