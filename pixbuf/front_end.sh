# What this front end adds to the project's scripts and pages, which find it
# here (sourced by scripts/front-ends.sh; the fields are described there).
rank=3
summary='the gdk-pixbuf loader, the MIME package, the thumbnailer and "Open with" entries'
includes='mca/mca.h'
readme='| GTK programs (eog, gThumb, Geeqie, GPicView, Viewnior) and GNOME'"'"'s thumbnails | `gdk-pixbuf-loader-mca` | `sudo apt-get install ./gdk-pixbuf-loader-mca_*.deb`: [docs/linux.md](docs/linux.md) |'
debs='gdk-pixbuf-loader-mca:loader'
packages_programs='libgdk-pixbuf-2.0-dev libgdk-pixbuf2.0-bin shared-mime-info libglib2.0-bin'
packages_tests='eog gthumb geeqie viewnior gpicview gwenview qimgv lximage-qt desktop-file-utils xvfb x11-apps x11-utils dbus'
