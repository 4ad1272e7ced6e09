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
