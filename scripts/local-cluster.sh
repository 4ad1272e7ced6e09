#!/usr/bin/env bash
# A one-node Slurm cluster on this machine, for the farm tests: munged, slurmctld and slurmd with
# a configuration of their own, every file (munge's key and socket, Slurm's state, spool, logs and
# pid files) in FOLDER, on free ports chosen at start. Runs as root, without systemd or cgroups.
#
#   scripts/local-cluster.sh start FOLDER [OWNER]  # returns once sinfo shows the node idle
#   scripts/local-cluster.sh stop FOLDER           # ends every process start began, by its id
#
# With OWNER (a process id, such as a test's), a watcher stops the cluster once that process has
# ended, even if it was killed outright and its own cleanup never ran (CTest ends a test that runs
# out of time with SIGKILL to its process tree, which the daemons left by reparenting).
#
# Clients reach it with SLURM_CONF=FOLDER/slurm.conf; the configuration names munge's socket.
set -euo pipefail
source "$(dirname "$0")/require.sh"
source "$(dirname "$0")/processes.sh"

usage() {
  echo "usage: $0 start FOLDER [OWNER] | stop FOLDER" >&2
  exit 2
}

write_slurm_conf() {
  local folder=$1 host=$2 ctld_port=$3 slurmd_port=$4
  cat >"$folder/slurm.conf" <<CONF
ClusterName=quorvale-farm
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$folder/munge/munge.socket
CredType=cred/munge
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
MpiDefault=none
SchedulerType=sched/backfill
# Batch jobs start as soon as they are submitted, instead of up to 3 s later.
SchedulerParameters=batch_sched_delay=0
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
ReturnToService=2
StateSaveLocation=$folder/state
SlurmdSpoolDir=$folder/spool
SlurmctldPidFile=$folder/run/slurmctld.pid
SlurmdPidFile=$folder/run/slurmd.pid
SlurmctldLogFile=$folder/log/slurmctld.log
SlurmdLogFile=$folder/log/slurmd.log
NodeName=$host NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=farm Nodes=ALL Default=YES MaxTime=INFINITE State=UP
CONF
}

# Starts a daemon in the foreground of a background job and records its process id. The marker in
# its environment is inherited by what it starts (slurmd's slurmstepd), so stop can find those.
launch() {
  local folder=$1 name=$2
  shift 2
  env QV_LOCAL_CLUSTER="$folder" "$@" >>"$folder/log/$name.out" 2>&1 &
  echo $! >"$folder/run/$name.started"
}

# Waits up to $2 seconds for the command after it to succeed; the daemons' logs on failure.
wait_until() {
  local folder=$1 deadline=$((SECONDS + $2))
  shift 2
  until "$@" >/dev/null 2>&1; do
    if [ $SECONDS -ge $deadline ]; then
      echo "local cluster: gave up waiting for: $*" >&2
      tail -n 20 "$folder"/log/* >&2 || true
      return 1
    fi
    sleep 0.2
  done
}

node_is_idle() {
  [ "$(sinfo -h -N -o %t)" = idle ]
}

no_jobs_left() {
  [ -z "$(timeout 5 squeue -h -o %i)" ]
}

# Stops the cluster once process $2 has ended. Interrupts meant for the terminal's foreground
# are ignored: the watcher has to outlive its owner.
watch_owner() {
  trap '' INT HUP
  while [ -e "/proc/$2" ]; do
    sleep 1
  done
  stop_cluster "$1"
}

start_cluster() {
  local folder=$1 owner=$2 host ctld_port slurmd_port
  require_command munged munge
  require_command mungekey munge
  local command
  for command in slurmctld slurmd sinfo scontrol squeue scancel; do
    require_command "$command" slurm-wlm
  done
  [ "$(id -u)" -eq 0 ] || { echo "local cluster: must run as root (the daemons run jobs as root)" >&2; return 1; }
  mkdir -p "$folder"/{munge,state,spool,log,run}
  chmod 0700 "$folder/munge"
  folder=$(cd "$folder" && pwd)
  host=$(uname -n)
  host=${host%%.*}
  ctld_port=$(free_port)
  slurmd_port=$(free_port "$ctld_port")
  write_slurm_conf "$folder" "$host" "$ctld_port" "$slurmd_port"
  export SLURM_CONF="$folder/slurm.conf"

  mungekey --create --keyfile="$folder/munge/munge.key" --force
  launch "$folder" munged munged --foreground --force --socket="$folder/munge/munge.socket" \
    --key-file="$folder/munge/munge.key" --pid-file="$folder/run/munged.pid" \
    --log-file="$folder/log/munged.log" --seed-file="$folder/munge/munged.seed"
  wait_until "$folder" 10 test -S "$folder/munge/munge.socket"
  launch "$folder" slurmctld slurmctld -D -i -f "$SLURM_CONF"
  wait_until "$folder" 30 scontrol ping
  launch "$folder" slurmd slurmd -D -f "$SLURM_CONF"
  wait_until "$folder" 30 node_is_idle
  if [ -n "$owner" ]; then
    "$0" watch "$folder" "$owner" </dev/null >>"$folder/log/watcher.out" 2>&1 &
    echo $! >"$folder/run/watcher.started"
  fi
}

# The slurmstepd processes the slurmd of this folder started, found by the marker it passed on.
step_daemons() {
  local folder=$1 environ pid
  for environ in /proc/[0-9]*/environ; do
    pid=${environ#/proc/}
    pid=${pid%/environ}
    [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = slurmstepd ] || continue
    if tr '\0' '\n' <"$environ" 2>/dev/null | grep -qxF "QV_LOCAL_CLUSTER=$folder"; then
      echo "$pid"
    fi
  done
}

started_pid() {
  cat "$1/run/$2.started" 2>/dev/null || true
}

stop_cluster() {
  local folder=$1 pid
  [ -d "$folder" ] || return 0
  folder=$(cd "$folder" && pwd)
  export SLURM_CONF="$folder/slurm.conf"
  # Jobs still running are cancelled first, so that their steps end their processes themselves.
  pid=$(started_pid "$folder" slurmctld)
  if [ -n "$pid" ] && [ -e "/proc/$pid" ] && [ -n "$(timeout 5 squeue -h -o %i 2>/dev/null)" ]; then
    timeout 5 scancel --full --quiet $(timeout 5 squeue -h -o %i) 2>/dev/null || true
    wait_until "$folder" 10 no_jobs_left 2>/dev/null || true
  fi
  end_processes "$(started_pid "$folder" slurmd):slurmd"
  for pid in $(step_daemons "$folder"); do
    end_tree "$pid"
  done
  end_processes "$(started_pid "$folder" slurmctld):slurmctld" "$(started_pid "$folder" munged):munged"
  pid=$(started_pid "$folder" watcher)
  [ "$pid" = "$$" ] || end_processes "$pid:$(basename "$0" | cut -c1-15)"
  rm -f "$folder"/run/*.started
}

case "$#:${1:-}" in
  2:start | 3:start)
    trap 'stop_cluster "$2"' EXIT  # a start that fails leaves nothing running
    start_cluster "$2" "${3:-}"
    trap - EXIT
    ;;
  2:stop) stop_cluster "$2" ;;
  3:watch) watch_owner "$2" "$3" ;;
  *) usage ;;
esac
