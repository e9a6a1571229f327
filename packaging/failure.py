"""How a packaging step speaks: progress as one line "package: ..." on
standard error, and failure as one such line and status 1."""
import sys


def progress(message):
    print(f"package: {message}", file=sys.stderr, flush=True)


def fail(message):
    progress(message)
    sys.exit(1)


def listing(paths, limit=5):
    """The first few of paths, and how many more there are."""
    shown = ", ".join(str(p) for p in paths[:limit])
    return shown + (f" and {len(paths) - limit} more" if len(paths) > limit else "")
