"""The built package checked against what it was built from and against
the limits of its tables and cabinet: a silent loss is a build error."""
import pathlib
import struct
import subprocess

from database import export_table, file_paths, files_with_folders
from failure import fail, listing

# Columns a name must fit: File.FileName and Directory.DefaultDir.
NAME_COLUMN = 255
# A cabinet data block holds at most 32 KiB before compression.
BLOCK_BYTES = 32768


def cabinet_counts(msi, stream):
    """(files, data blocks) that the embedded cabinet's header records."""
    with subprocess.Popen(["msiinfo", "extract", msi, stream], stdout=subprocess.PIPE) as extract:
        data = extract.stdout.read(36)
        signature, folders, files, flags = struct.unpack_from("<4s22xHHH", data)
        if signature != b"MSCF" or flags & 0x3:
            extract.kill()
            fail(f"the package's cabinet {stream} is not a single cabinet (flags {flags})")
        folder_reserve = 0
        if flags & 0x4:
            header_reserve, folder_reserve = struct.unpack("<HB", extract.stdout.read(4)[:3])
            extract.stdout.read(header_reserve)
        blocks = 0
        for _ in range(folders):
            blocks += struct.unpack("<4xH2x", extract.stdout.read(8))[0]
            extract.stdout.read(folder_reserve)
        extract.kill()
    return files, blocks


def blocks_needed(size):
    """Data blocks that size uncompressed bytes fill; a partial block is one."""
    return -(-size // BLOCK_BYTES)


def cabinet_mismatch(counted_files, counted_blocks, table_files, size):
    """Why a cabinet header of these counts cannot hold the File table's
    files of size bytes; None when it can."""
    if counted_files != table_files or counted_blocks < blocks_needed(size):
        return (f"the package's cabinet counts {counted_files} files in {counted_blocks} blocks; its File table "
                f"has {table_files} files of {size} bytes, which need {blocks_needed(size)} blocks")
    return None


def check(msi, folder):
    """Every staged file is a row of the File table under its own path, no
    row is anything else, every name fits its column, and the cabinet's
    header counts every file and enough blocks for every byte."""
    _, files, file_folder = files_with_folders(msi)
    in_table = sorted(str(path) for path in file_paths(msi, files, file_folder).values())
    root = pathlib.Path(folder)
    staged = sorted(str(p.relative_to(root)) for p in root.rglob("*") if p.is_file())
    if in_table != staged:
        missing = sorted(set(staged) - set(in_table))
        extra = sorted(set(in_table) - set(staged))
        fail(f"the package's File table differs from the staged files ({len(in_table)} rows, "
             f"{len(staged)} files): missing {listing(missing) or 'none'}; unexpected {listing(extra) or 'none'}")
    directories = export_table(msi, "Directory")[1]
    too_wide = [row[2] for row in files if len(row[2]) > NAME_COLUMN]
    too_wide += [row[2] for row in directories if len(row[2]) > NAME_COLUMN]
    if too_wide:
        fail(f"the package has names wider than their {NAME_COLUMN}-character column: {listing(too_wide)}")
    counted_files = counted_blocks = 0
    for row in export_table(msi, "Media")[1]:
        if row[3].startswith("#"):
            found_files, found_blocks = cabinet_counts(msi, row[3][1:])
            counted_files += found_files
            counted_blocks += found_blocks
    size = sum(int(row[3]) for row in files)
    mismatch = cabinet_mismatch(counted_files, counted_blocks, len(files), size)
    if mismatch:
        fail(mismatch)
