#!/usr/bin/env bash
# The headless driver on ssh:// names, against an OpenSSH server of the
# script's own on 127.0.0.1 (its keys, known_hosts and configurations in a
# temporary folder; the client is told of them by $OSTREL_SSH). sshd started
# as root needs /run/sshd: it runs in a mount namespace where a folder of the
# script is bound over /run, and in a process-id namespace of its own, so that
# killing it at the end (whatever the outcome) ends every session it started.
. "$(dirname "$0")/lib/expect.bash" "$@"
server=
cleanup() {
  # sshd, the namespace's first process: the kernel ends the rest with it, and unshare reaps it and exits.
  if [ -n "$server" ]; then
    local first
    first=$(cat "/proc/$server/task/$server/children" 2>/dev/null)
    if [ -n "$first" ]; then kill -KILL $first 2>/dev/null; else kill -KILL "$server" 2>/dev/null; fi
    wait "$server" 2>/dev/null
  fi
  rm -rf "$dir"
}
trap cleanup EXIT

mkdir "$dir/run"
for key in host_key user_key; do ssh-keygen -q -t ed25519 -N '' -f "$dir/$key" || exit 1; done
cp "$dir/user_key.pub" "$dir/authorized_keys"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat > "$dir/sshd_config" <<EOF
Port $port
ListenAddress 127.0.0.1
HostKey $dir/host_key
AuthorizedKeysFile $dir/authorized_keys
PidFile none
StrictModes no
UsePAM no
PasswordAuthentication no
KbdInteractiveAuthentication no
EOF
echo "[127.0.0.1]:$port $(cat "$dir/host_key.pub")" > "$dir/known_hosts"
cat > "$dir/ssh_config" <<EOF
Host *
  IdentityFile $dir/user_key
  IdentitiesOnly yes
  IdentityAgent none
  UserKnownHostsFile $dir/known_hosts
  GlobalKnownHostsFile /dev/null
  StrictHostKeyChecking yes
  LogLevel ERROR
EOF
unshare --fork --pid --kill-child=SIGKILL --mount --propagation private /bin/sh -c \
  "mount --bind '$dir/run' /run && mkdir -p /run/sshd && exec /usr/sbin/sshd -D -e -f '$dir/sshd_config'" \
  > "$dir/sshd.log" 2>&1 &
server=$!
for _ in $(seq 200); do
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
  sleep 0.05
done
if grep -q "unshare: .*Operation not permitted" "$dir/sshd.log" 2>/dev/null; then
  # No private namespaces here: the script's own server cannot run without touching /run. Said, not failed.
  echo "probe_ssh: skipped: $(cat "$dir/sshd.log")"
  exit 0
fi
export OSTREL_SSH="ssh -F $dir/ssh_config"
name="ssh://127.0.0.1:$port"

printf 'alpha\nbeta\n' > "$dir/ab.log"
expect "a remote file, then what it gains" 'top=0 last=0 total=11 enc="ANSI / ASCII" hoff=0 longest=6 hl=none line=1
|alpha|
|beta|
| |
top=0 last=0 total=17 enc="ANSI / ASCII" hoff=0 longest=6 hl=none line=1
|alpha|
|beta|
|gamma|' bash -c '(sleep 2; echo gamma >> "$2") & "$0" --rows 3 "$1" print wait:4000 key:home print; wait' \
  "$probe" "$name$dir/ab.log" "$dir/ab.log"

printf 'quoted\n' > "$dir/it's \$(touch pwned).log"
expect "a path is quoted for the remote shell" 'top=0 last=0 total=7 enc="ANSI / ASCII" hoff=0 longest=7 hl=none line=1
|quoted|' "$probe" --rows 1 "$name$dir/it's \$(touch pwned).log" key:home print
[ -e "$dir/pwned" ] && { failures=$((failures + 1)); echo "FAIL the remote shell ran a word of the path"; }

seq 1 3 | sed 's/^/old /' | gzip -c > "$dir/old.log.gz"
expect "a compressed remote file is decompressed here, and the reading ends" 'strip "ssh ended with status 0." [Reconnect]
top=0 last=0 total=18 enc="ANSI / ASCII" hoff=0 longest=6 hl=none line=1
|old 1|
|old 2|
|old 3|' "$probe" --rows 3 "$name$dir/old.log.gz" key:home print

expect "no such file: the remote tail says so, with the status" "strip \"ssh ended with status 1: tail: cannot open '$dir/nope.log' for reading: No such file or directory\" [Reconnect]" \
  "$probe" "$name$dir/nope.log"
expect "a name that would give ssh an option runs nothing" "error: ssh://-oProxyCommand=x/p: the host may hold only letters, digits, “.”, “_” and “-”, not first, or be an IPv6 address in brackets
load failed" \
  "$probe" "ssh://-oProxyCommand=x/p"

finish
