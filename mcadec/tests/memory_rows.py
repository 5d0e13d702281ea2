# mcadec's row in tests/memory_test.py: a whole picture's rows streamed to a PNG.
rows = [("mcadec", "whole, rows to PNG", [f"{native}/mcadec", "-q", "-f", "-o", out, "{}"], {}, 40)]
