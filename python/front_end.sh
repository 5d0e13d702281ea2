# What this front end adds to the project's scripts and pages, which find it
# here (sourced by scripts/front-ends.sh; the fields are described there).
rank=6
summary='the Python package `zuvrek` and its Pillow plug-in'
includes='mca/mca.h'
sources='src'
readme='| Python and Pillow | `python3-zuvrek`, or the wheel | `import zuvrek.pillow`, then `Image.open("picture.mca")` and `im.save("picture.mca")`: [docs/python.md](docs/python.md) |'
dist_step='python/release_wheel.sh'
debs='python3-zuvrek:'
packages_programs='python3-dev python3-setuptools'
packages_tests='python3-pil python3-pytest python3-venv python3-pip'
