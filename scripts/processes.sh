# Helpers for scripts and tests that start daemons: free ports, and ending processes by their
# ids (never by name), children included. Sourced by bash scripts.

# Ports someone listens on now, in decimal, from the kernel's TCP tables.
listening_ports() {
  local table slot local_address remote_address state rest
  for table in /proc/net/tcp /proc/net/tcp6; do
    [ -r "$table" ] || continue
    while read -r slot local_address remote_address state rest; do
      [ "$state" = 0A ] && printf '%d\n' "0x${local_address##*:}"
    done < <(tail -n +2 "$table")
  done
}

# A TCP port in 20000..59999 that no one listens on and that is not among the arguments.
free_port() {
  local taken port
  taken=" $(listening_ports | tr '\n' ' ') $* "
  while :; do
    port=$((20000 + RANDOM % 40000))
    case "$taken" in *" $port "*) continue ;; esac
    echo "$port"
    return 0
  done
}

# The process ids of the children of $1, and theirs, from one reading of /proc.
descendants() {
  local stat line pid fields queue=("$1")
  local -A children=()
  for stat in /proc/[0-9]*/stat; do
    read -r line 2>/dev/null <"$stat" || continue
    pid=${line%% *}
    read -r -a fields <<<"${line##*) }"  # the command name may hold spaces; the parent comes after
    children[${fields[1]}]+=" $pid"
  done
  while [ ${#queue[@]} -gt 0 ]; do
    for pid in ${children[${queue[0]}]:-}; do
      echo "$pid"
      queue+=("$pid")
    done
    queue=("${queue[@]:1}")
  done
}

# Ends the processes given as PID:NAME, each only if it is still that command: TERM to all of
# them at once, then KILL to any still there after five seconds.
end_processes() {
  local entry pid pids=() waited=0
  for entry in "$@"; do
    pid=${entry%%:*}
    [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "${entry#*:}" ] || continue
    kill -TERM "$pid" 2>/dev/null && pids+=("$pid")
  done
  for pid in "${pids[@]}"; do
    while [ -e "/proc/$pid" ] && [ $waited -lt 50 ]; do
      sleep 0.1
      waited=$((waited + 1))
    done
    kill -KILL "$pid" 2>/dev/null || true
  done
}

# Ends a process and everything under it, by id: the children first, so none is left orphaned.
end_tree() {
  local pid=$1 child
  for child in $(descendants "$pid"); do
    kill -KILL "$child" 2>/dev/null || true
  done
  kill -KILL "$pid" 2>/dev/null || true
}

# Ends process $2 (command name $3) and everything under it once process $1 has ended, from a
# guard outside $1's process tree: it still runs when $1 is killed outright together with its
# children (as CTest does with a test that runs out of time). Returns at once.
guard_process() {
  local owner=$1 pid=$2 name=$3
  ( (
    trap '' INT HUP
    while [ -e "/proc/$owner" ]; do
      sleep 1
    done
    if [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "$name" ]; then end_tree "$pid"; fi
  ) </dev/null >/dev/null 2>&1 & )
}
