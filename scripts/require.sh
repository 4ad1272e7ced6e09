# Checks for the tools and files a script or test needs, so that a machine missing one stops
# with a line naming the Debian package to install (scripts/install-deps.sh installs them all)
# instead of failing later with a misleading symptom. POSIX sh; sourced by bash scripts too.

# require_command COMMAND PACKAGE
require_command() {
  command -v "$1" >/dev/null 2>&1 && return 0
  echo "MISSING: the command '$1'; install the Debian package $2 (scripts/install-deps.sh does)" >&2
  exit 1
}

# require_file PATH PACKAGE WHAT
require_file() {
  [ -e "$1" ] && return 0
  echo "MISSING: $3 ($1); install the Debian package $2 (scripts/install-deps.sh does)" >&2
  exit 1
}

# SDL draws its message boxes with X core fonts; without them it cannot open one at all.
require_message_box_fonts() {
  require_file /usr/share/fonts/X11/misc/fonts.alias xfonts-base "the X core fonts that message boxes are drawn with"
}

# What every build script starts with: the project's packages installed, the build tools checked,
# and `jobs` set to the processor count. Run from the source tree's top.
prepare_build() {
  scripts/install-deps.sh
  require_command cmake cmake
  require_command ninja ninja-build
  require_command x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64
  jobs=$(nproc)
}

# The Release build in build/ (the production, qvtool, the tests and the benchmarks).
configure_release_build() {
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
}
