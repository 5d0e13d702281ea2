# The page's row in tests/memory_test.py: its module under Node, to a PNG. The
# page keeps a preview of up to 2048 x 2048 (16 MB) beside the bands.
rows = [("the page's module", "under Node, to PNG", ["node", f"{source}/web/tests/convert_file.mjs",
                                                     f"{web}/mca.wasm", "{}"], {}, 96)]
