"""Short (8.3) names, as Windows Installer needs them beside the long ones."""

# Characters a short name may hold besides letters and digits.
SHORT_EXTRA = set("!#$%&'()-@^_`{}~")


def is_short_name(name):
    base, dot, extension = name.rpartition(".") if "." in name else (name, "", "")
    allowed = lambda text: all(c.isascii() and (c.isalnum() or c in SHORT_EXTRA) for c in text)
    return (0 < len(base) <= 8 and len(extension) <= 3 and (not dot or extension)
            and allowed(base) and allowed(extension))


class ShortNames:
    """Short names unique within each folder, as Windows would make them:
    BASE~N.EXT, the base shortened as N grows."""

    def __init__(self):
        self.taken = {}

    def reserve(self, folder, name):
        if is_short_name(name):
            self.taken.setdefault(folder, set()).add(name.upper())

    def filename(self, folder, name):
        """The column's text: the name alone when it is a short name, else
        short|long."""
        if is_short_name(name):
            return name
        keep = lambda text: "".join(c for c in text.upper() if c.isascii() and (c.isalnum() or c in SHORT_EXTRA))
        base, _, extension = name.rpartition(".") if "." in name.strip(".") else (name, "", "")
        base, extension = keep(base) or "F", keep(extension)[:3]
        taken = self.taken.setdefault(folder, set())
        for number in range(1, 1000000):
            tail = f"~{number}"
            candidate = base[: 8 - len(tail)] + tail + (f".{extension}" if extension else "")
            if candidate not in taken:
                taken.add(candidate)
                return f"{candidate}|{name}"
        raise RuntimeError("no short name left")
