# What this front end adds to the project's scripts and pages, which find it
# here (sourced by scripts/front-ends.sh; the fields are described there).
rank=5
summary='the command-line converters (`mcadec` from MCA, `mcaenc` to MCA, and `mcadec.exe`, `mcaenc.exe` for Windows from the same sources), their man pages and bash completion (`data/`)'
includes='mca/mca.h png/ windows/'
readme='| the command line, on Linux and on Windows | `mcadec` and `mcaenc` (the Debian package), `mcadec.exe`, `mcaenc.exe` (in the zip, for x64, ARM64 and 32-bit Windows) | `mcadec picture.mca` writes `picture.png`, `mcadec -o pngs *.mca` a folder of them; `mcaenc --like picture.mca edited.png` writes it back: [docs/linux.md](docs/linux.md), [docs/windows.md](docs/windows.md) |'
release='win64:mcadec:mcadec.exe:mcadec-x64/mcadec.exe win-arm64:mcadec:mcadec.exe:mcadec-arm64/mcadec.exe win32:mcadec:mcadec.exe:mcadec-x86/mcadec.exe win64:mcaenc:mcaenc.exe:mcadec-x64/mcaenc.exe win-arm64:mcaenc:mcaenc.exe:mcadec-arm64/mcaenc.exe win32:mcaenc:mcaenc.exe:mcadec-x86/mcaenc.exe'
debs='mcadec:mcadec'
packages_programs='libcli11-dev libspng-dev'
packages_tests='bash-completion tmux'
