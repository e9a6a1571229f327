"""The version and languages of a file's version resource, as the File
table records them."""
import pefile


def version_of(path):
    """(version "a.b.c.d", languages "1033,1046") of a program or DLL with a
    version resource; None for any other file."""
    with open(path, "rb") as stream:
        if stream.read(2) != b"MZ":
            return None
    try:
        image = pefile.PE(path, fast_load=True)
    except pefile.PEFormatError:
        return None
    with image:
        image.parse_data_directories(
            directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
        fixed = getattr(image, "VS_FIXEDFILEINFO", None)
        if not fixed:
            return None
        most, least = fixed[0].FileVersionMS, fixed[0].FileVersionLS
        version = f"{most >> 16}.{most & 0xFFFF}.{least >> 16}.{least & 0xFFFF}"
        languages = []
        for information in getattr(image, "FileInfo", None) or []:
            for entry in information:
                for var in getattr(entry, "Var", []):
                    for pair in var.entry.values():
                        # "0x0409 0x04b0": language, then code page.
                        language = str(int(pair.split()[0], 16))
                        if language not in languages:
                            languages.append(language)
        return version, ",".join(languages)
