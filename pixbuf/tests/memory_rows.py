# The loader's rows in tests/memory_test.py: eog on the test's X server, and
# gdk-pixbuf's own calls and thumbnailer, through the built loader.
pixbuf = {"GDK_PIXBUF_MODULE_FILE": f"{native}/pixbuf-test/loaders.cache",
          "XDG_DATA_HOME": f"{native}/pixbuf-test"}
eog = dict(pixbuf, DISPLAY=display, XDG_RUNTIME_DIR=work, XDG_CONFIG_HOME=work, XDG_CACHE_HOME=work, NO_AT_BRIDGE="1")
rows = [
    ("eog", "under Xvfb, whole", ["eog", "{}"], eog, 40, GUI),
    ("gdk-pixbuf", "gdk_pixbuf_new_from_file, whole", [f"{native}/pixbuf_read", "{}"], pixbuf, 40),
    ("gdk-pixbuf", "gdk_pixbuf_new_from_file_at_size 256", [f"{native}/pixbuf_read", "{}", "256"], pixbuf, 40),
    ("gdk-pixbuf", "gdk-pixbuf-thumbnailer -s 256", ["gdk-pixbuf-thumbnailer", "-s", "256", "{}", out], pixbuf, 40),
]
