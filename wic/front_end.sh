# What this front end adds to the project's scripts and pages, which find it
# here (sourced by scripts/front-ends.sh; the fields are described there).
rank=2
summary='`zuvrek-wic.dll`, the WIC decoder and Explorer'"'"'s property handler, with `regsvr32` registration; its installers (`msi/`)'
includes='mca/mca.h windows/'
readme='| Windows Explorer (thumbnails, size and depth in Details), Windows Photo Viewer, Photos, every program that reads pictures through WIC | `zuvrek-VERSION-x64.msi` (64-bit Windows), `zuvrek-VERSION-x86.msi` (32-bit), `zuvrek-VERSION-arm64.msi` (Windows on ARM) | run the installer: [docs/windows.md](docs/windows.md) |'
release='win32:zuvrek-wic:zuvrek-wic.dll:zuvrek-wic-x86.dll win64:zuvrek-wic:zuvrek-wic.dll:zuvrek-wic-x64.dll win-arm64:zuvrek-wic:zuvrek-wic-arm64.dll'
release_step='wic/msi/make-msis.sh'
packages_windows='wixl msitools faketime'
