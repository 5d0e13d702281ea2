#!/usr/bin/python3
"""One promise, measured in the programs people open pictures with: a file of
85 bytes costs little memory, whatever picture it declares, and a large
picture whose payload really fills it still opens whole.

Each program opens three files: two of 85 bytes made by make_large --sparse,
16384 x 16384 (exactly the default pixel limit) and 16000 x 44700 (2.1 GB of
pixels), and 4096 x 4096 made by make_large --filled (a 5.9 MB LZSS stream
of references that fills all 48 MiB). A run's figure is the peak resident
memory of the program's own process, as GNU time reports it (a child's
rusage from here would carry this script's own memory over), less the same
program's peak on the 160 x 120 sample. The 85-byte files must stay under
the row's ceiling (and the checks its front end adds); the filled picture
must open. Prints the table of figures.

The rows come from the front ends' folders (FOLDER/tests/memory_rows.py).
With --write, the table also replaces the one in docs/benchmarks.md.

    tests/memory_test.py SOURCE NATIVE_BUILD WEB_BUILD WIN64_BUILD [--write]
"""
import os
import signal
import subprocess
import sys
import tempfile
import time

MB = 1024  # GNU time counts KiB

write = "--write" in sys.argv
source, native, web, win64 = (os.path.abspath(p) for p in [a for a in sys.argv[1:] if a != "--write"][:4])
work = tempfile.mkdtemp(prefix="zuvrek-memory-")
sample = os.path.join(source, "samples", "sample.mca")
pictures = []
for kind, width, height in (("--sparse", 16384, 16384), ("--sparse", 16000, 44700), ("--filled", 4096, 4096)):
    path = os.path.join(work, f"{width}x{height}{kind.replace('--', '-')}.mca")
    subprocess.run([f"{native}/make_large", kind, path, str(width), str(height)], check=True,
                   stdout=subprocess.DEVNULL)
    assert kind != "--sparse" or os.path.getsize(path) < 100
    pictures.append((path, width, height, kind == "--filled"))

# eog draws on an X server of its own.
display_pipe, display_out = os.pipe()
xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(display_out), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                        pass_fds=[display_out], stderr=subprocess.DEVNULL)
os.close(display_out)
display = ":" + os.read(display_pipe, 16).decode().strip()

out = os.path.join(work, "out.png")

# Each front end's rows (FOLDER/tests/memory_rows.py, for the front ends
# scripts/front-ends.sh finds): program, how it reads, the command ({} is the
# file), its environment, its ceiling in MiB above the run on the sample, and
# GUI for a program that runs until it has been idle for a while and is then
# closed. A rows file may define after() (run at the end) and
# check(name, peak_mib), a further limit on a run's whole peak.
GUI = "gui"
rows, afters, checks = [], [], []
folders = subprocess.run([f"{source}/scripts/front-ends.sh"], check=True, capture_output=True, text=True).stdout.split()
for folder in folders:
    path = os.path.join(source, folder, "tests", "memory_rows.py")
    if os.path.exists(path):
        names = {"os": os, "subprocess": subprocess, "source": source, "native": native, "web": web, "win64": win64,
                 "work": work, "out": out, "display": display, "GUI": GUI}
        exec(compile(open(path).read(), path, "exec"), names)
        rows += names["rows"]
        afters += [names["after"]] if "after" in names else []
        checks += [names["check"]] if "check" in names else []


def cpu_ticks(pid):
    """User and system ticks of a process and its threads; None once it is gone."""
    try:
        with open(f"/proc/{pid}/stat") as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return int(fields[11]) + int(fields[12])
    except (OSError, IndexError):
        return None


def close_when_idle(timer):
    """Closes the GUI program under `timer` once it has used no processor for
    a second (it has shown the picture or its error), after two seconds at
    least and sixty at most."""
    start = time.monotonic()
    program = None
    last, since = None, time.monotonic()
    while time.monotonic() - start < 60 and timer.poll() is None:
        time.sleep(0.25)
        if program is None:
            try:
                with open(f"/proc/{timer.pid}/task/{timer.pid}/children") as children:
                    program = int(children.read().split()[0])
            except (OSError, IndexError, ValueError):
                continue
        ticks = cpu_ticks(program)
        if ticks != last:
            last, since = ticks, time.monotonic()
        elif time.monotonic() - since >= 1 and time.monotonic() - start >= 2:
            break
    if program is not None and timer.poll() is None:
        os.kill(program, signal.SIGTERM)


def run(argv, env, path, gui):
    """(peak KiB, exit code, last line printed) of one run."""
    with tempfile.NamedTemporaryFile(dir=work) as peak, tempfile.TemporaryFile() as printed:
        timer = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", peak.name] +
                                 [word.replace("{}", path) for word in argv], env=dict(os.environ, **env),
                                 stdout=printed, stderr=subprocess.STDOUT)
        if gui:
            close_when_idle(timer)
        code = timer.wait(timeout=300)
        printed.seek(0)
        lines = [line for line in printed.read().decode(errors="replace").splitlines()
                 if line.strip() and "XDG_RUNTIME_DIR" not in line and not line.startswith("wine:")]
        kib = int(open(peak.name).read().split()[-1])
    return kib, 0 if gui else code, lines[-1] if lines else ""


failures = []
table = ["| program | how | start MiB | 16384 x 16384, 85 bytes | 16000 x 44700, 85 bytes | 4096 x 4096, filled | "
         "ceiling MiB |", "|---|---|---|---|---|---|---|"]
try:
    for name, how, argv, env, ceiling, *kind in rows:
        gui = kind == [GUI]
        run(argv, env, sample, gui)  # a first run sets up what the program keeps (Wine's prefix, caches)
        start, code, said = run(argv, env, sample, gui)
        if code != 0:
            failures.append(f"{name}, {how}: the sample fails ({said})")
        cells = []
        for path, width, height, filled in pictures:
            peak, code, said = run(argv, env, path, gui)
            above = (peak - start) / MB
            picture = f"{width} x {height}"
            if gui:  # a viewer says nothing: what it holds tells whether it shows the picture
                opened = above >= 3 * width * height / (1024 * 1024)
            else:
                opened = code == 0 and "refused" not in said
            cells.append(f"{'opened' if opened else 'refused'}, +{max(above, 0):.1f}")
            if filled:
                if not opened:
                    failures.append(f"{name}, {how}: the filled {picture} picture does not open ({said})")
                continue
            if above > ceiling:
                failures.append(f"{name}, {how}, {picture}: {above:.1f} MiB above its start, over {ceiling} MiB "
                                f"({said})")
            for check in checks:
                problem = check(name, peak / MB)
                if problem:
                    failures.append(f"{name}, {how}, {picture}: {problem}")
        table.append(f"| {name} | {how} | {start / MB:.0f} | {' | '.join(cells)} | +{ceiling} |")
finally:
    xvfb.terminate()
    xvfb.wait()
    for after in afters:
        after()
print("\n".join(table))
if write:
    # The table in docs/benchmarks.md, between its markers, is this run's.
    page = os.path.join(source, "docs", "benchmarks.md")
    text = open(page).read()
    begin, end = "<!-- memory_test.py writes this table -->\n", "<!-- memory_test.py: end -->"
    head, rest = text.split(begin)
    open(page, "w").write(head + begin + "\n".join(table) + "\n" + end + rest.split(end, 1)[1])
subprocess.run(["rm", "-rf", work], check=True)
for failure in failures:
    print("FAIL", failure)
print(f"{3 * len(rows) - len(failures)} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
