"""How a packaging step fails: one line "package: ..." and status 1."""
import sys


def fail(message):
    print(f"package: {message}", file=sys.stderr)
    sys.exit(1)


def listing(paths, limit=5):
    """The first few of paths, and how many more there are."""
    shown = ", ".join(str(p) for p in paths[:limit])
    return shown + (f" and {len(paths) - limit} more" if len(paths) > limit else "")
