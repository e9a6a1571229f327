"""The shortcuts' icon: a whole Windows icon file, read to its end."""
import struct

from failure import fail

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
BITMAP_HEADER_SIZE = 40


def icon_problem(data):
    """Why data is not a whole .ico file (its header, its entry count, each
    image inside the file and of a known kind); None when it is one."""
    if len(data) < 6:
        return "shorter than an icon's header"
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1:
        return "no icon header"
    if count == 0:
        return "no image in it"
    if len(data) < 6 + 16 * count:
        return f"its directory of {count} images runs past the end"
    for index in range(count):
        size, offset = struct.unpack_from("<II", data, 6 + 16 * index + 8)
        if size == 0 or offset < 6 + 16 * count or offset + size > len(data):
            return f"image {index + 1} lies outside the file"
        image = data[offset:offset + size]
        bitmap = len(image) >= 4 and struct.unpack_from("<I", image, 0)[0] == BITMAP_HEADER_SIZE
        if not image.startswith(PNG_SIGNATURE) and not bitmap:
            return f"image {index + 1} is neither a bitmap nor a PNG"
    return None


def check_icon(path):
    try:
        with open(path, "rb") as stream:
            data = stream.read()
    except OSError as error:
        fail(f"the icon {path} cannot be read ({error.strerror})")
    problem = icon_problem(data)
    if problem:
        fail(f"the icon {path} is not a whole Windows icon (.ico): {problem}")
