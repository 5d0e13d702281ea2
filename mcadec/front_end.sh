# What this front end adds to the project's scripts and pages, which find it
# here (sourced by scripts/front-ends.sh; the fields are described there).
rank=5
summary='the command-line converter, its man page and bash completion (`data/`)'
includes='mca/mca.h png/'
readme='| the command line | `mcadec` | `mcadec picture.mca` writes `picture.png`; `man mcadec`: [docs/linux.md](docs/linux.md) |'
debs='mcadec:mcadec'
packages_programs='libcli11-dev'
packages_tests='bash-completion tmux'
