#!/usr/bin/env bash
# Runs a command under a virtual X server: under_xvfb.sh "SERVER ARGUMENTS" COMMAND [ARG...].
# Checks for the server and its helpers first, so that a machine without them says which
# package is missing.
set -euo pipefail
source "$(dirname "$0")/../../scripts/require.sh"
require_command xvfb-run xvfb
require_command Xvfb xvfb
require_command xauth xauth
server_args=$1
shift
exec xvfb-run -a -s "$server_args" "$@"
