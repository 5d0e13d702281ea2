# What this front end adds to the project's scripts and pages, which find it
# here (sourced by scripts/front-ends.sh; the fields are described there).
rank=4
summary='the Qt 5 and Qt 6 image plug-in'
includes='mca/mca.h'
readme='| KDE and Qt programs (Gwenview, Dolphin, qimgv, LXImage-Qt, Okular), opening and saving | `qt5-image-formats-plugin-mca`, `qt6-image-formats-plugin-mca` | `sudo apt-get install ./qt*-image-formats-plugin-mca_*.deb`: [docs/linux.md](docs/linux.md) |'
debs='qt5-image-formats-plugin-mca:qt5 qt6-image-formats-plugin-mca:qt6'
packages_programs='qtbase5-dev qt6-base-dev'
