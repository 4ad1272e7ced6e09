#!/usr/bin/env bash
# The documented GNU Parallel run over ssh: a private sshd on a free local port with a host key and
# a user key made here (the machine's own ssh configuration untouched), the pieces drawn through it
# with --workdir on the shared folder, joined, and compared with the one-run capture.
source "$(dirname "$0")/farm_lib.sh"
require_command parallel parallel
require_command ssh openssh-client
require_command ssh-keygen openssh-client
require_file /usr/sbin/sshd openssh-server "the ssh server"

SSH_DIR=$WORK/ssh
mkdir -m 0700 "$SSH_DIR"
sshd_pid=""
made_privilege_folder=no

stop_sshd() {
  local child
  if [ -n "$sshd_pid" ]; then
    for child in $(descendants "$sshd_pid"); do
      kill -KILL "$child" 2>/dev/null || true
    done
    end_processes "$sshd_pid:sshd"
  fi
  if [ $made_privilege_folder = yes ]; then rmdir /run/sshd 2>/dev/null || true; fi
}
trap 'stop_sshd; rm -rf "$WORK"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

ssh-keygen -q -t ed25519 -N '' -C farm-host -f "$SSH_DIR/host_key"
ssh-keygen -q -t ed25519 -N '' -C farm-user -f "$SSH_DIR/user_key"
cp "$SSH_DIR/user_key.pub" "$SSH_DIR/authorized_keys"
port=$(free_port)
cat >"$SSH_DIR/sshd_config" <<CONF
ListenAddress 127.0.0.1
Port $port
HostKey $SSH_DIR/host_key
PidFile $SSH_DIR/sshd.pid
AuthorizedKeysFile $SSH_DIR/authorized_keys
AllowUsers root
PermitRootLogin prohibit-password
PubkeyAuthentication yes
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
StrictModes no
Subsystem sftp internal-sftp
CONF
cat >"$SSH_DIR/ssh_config" <<CONF
Host farm-node
  HostName 127.0.0.1
  Port $port
  User root
  IdentityFile $SSH_DIR/user_key
  IdentitiesOnly yes
  BatchMode yes
  UserKnownHostsFile $SSH_DIR/known_hosts
  GlobalKnownHostsFile /dev/null
  StrictHostKeyChecking yes
CONF
echo "[127.0.0.1]:$port $(cat "$SSH_DIR/host_key.pub")" >"$SSH_DIR/known_hosts"

# Debian's sshd wants its privilege-separation folder, which only its service normally makes.
if [ ! -d /run/sshd ]; then
  mkdir -m 0755 /run/sshd
  made_privilege_folder=yes
fi
/usr/sbin/sshd -t -f "$SSH_DIR/sshd_config" || fail "sshd does not accept the test's configuration"
/usr/sbin/sshd -D -e -f "$SSH_DIR/sshd_config" 2>"$SSH_DIR/sshd.log" &
sshd_pid=$!
guard_process $$ "$sshd_pid" sshd
deadline=$((SECONDS + 15))
until ssh -F "$SSH_DIR/ssh_config" farm-node true 2>"$SSH_DIR/first-login.log"; do
  kill -0 "$sshd_pid" 2>/dev/null || fail "sshd ended: $(cat "$SSH_DIR/sshd.log")"
  [ $SECONDS -lt $deadline ] || fail "no ssh login within 15 s: $(cat "$SSH_DIR/first-login.log" "$SSH_DIR/sshd.log")"
  sleep 0.2
done
logins_before=$(grep -c 'Accepted publickey for root' "$SSH_DIR/sshd.log")

capture_reference

# The login GNU Parallel uses: an ssh command and its host, as the farm-hosts file lists them.
echo "ssh -F $SSH_DIR/ssh_config farm-node" >"$SHARED/farm-hosts"
commands=$(for_this_test "$(doc_block '--sshloginfile')")
(cd "$SHARED" && PARALLEL_HOME="$WORK/parallel" sh -e -c "$commands") >"$WORK/farm.log" 2>&1 ||
  fail "the documented commands failed: $(cat "$WORK/farm.log")"

# Each of the three pieces came in through the test's sshd.
logins=$(($(grep -c 'Accepted publickey for root' "$SSH_DIR/sshd.log") - logins_before))
[ $logins -ge 3 ] || fail "$logins ssh logins for 3 pieces: $(cat "$SSH_DIR/sshd.log")"
expect_same_as_reference "$SHARED/show.mp4"
echo "PASS: the pieces drawn over ssh by GNU Parallel, joined, decode to the one-run capture"
