# The Qt plug-ins' rows in tests/memory_test.py: QImageReader whole and
# scaled, through the built plug-in of each Qt.
rows = []
for qt in (5, 6):
    env = {"QT_PLUGIN_PATH": f"{native}/qt{qt}", "QT_QPA_PLATFORM": "offscreen", "XDG_RUNTIME_DIR": work}
    rows += [(f"Qt {qt}", "QImageReader, whole", [f"{native}/qt{qt}_read", "{}"], env, 40),
             (f"Qt {qt}", "QImageReader, scaled to 256", [f"{native}/qt{qt}_read", "{}", "256"], env, 40)]


def check(name, peak_mb):
    """Qt 5 keeps its whole peak under 64 MB (its default allocation limit's
    reach)."""
    if name == "Qt 5" and peak_mb >= 64:
        return f"a peak of {peak_mb:.1f} MB, not under 64 MB"
    return None
