# What this front end adds to the project's scripts and pages, which find it
# here (sourced by scripts/front-ends.sh; the fields are described there).
rank=7
summary='the WebAssembly module and the page `mca-viewer.html`'
includes='mca/mca.h png/'
readme='| any browser, any computer, nothing installed | `mca-viewer.html` | open it, drop pictures on it, take PNGs: [docs/web.md](docs/web.md) |'
release='web:page:mca-viewer.html'
