# What this front end adds to the project's scripts and pages, which find it
# here (sourced by scripts/front-ends.sh; the fields are described there).
rank=1
summary='the 00IN plug-in `zuvrek.spi` / `zuvrek.sph` / `zuvrek.spha` (on Windows), a library for the native tests elsewhere'
includes='mca/mca.h windows/'
readme='| Windows picture viewers that take Susie plug-ins ("00IN") | `zuvrek.spi` (32-bit viewers), `zuvrek.sph` (64-bit), `zuvrek.spha` (ARM64 viewers; `zuvrek.spi`/`.sph` also work there under emulation) | copy into the viewer'"'"'s plug-in folder: [docs/windows.md](docs/windows.md) |'
release='win32:zuvrek:zuvrek.spi win64:zuvrek:zuvrek.sph win-arm64:zuvrek:zuvrek.spha'
