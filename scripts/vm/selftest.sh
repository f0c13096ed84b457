#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What of the kernel serial drivers' rig can be checked without a virtual
# machine (the test command runs it): every script of the rig parses and
# passes ShellCheck, and the QMP helper speaks QMP to a fake QEMU's socket: the
# capabilities first, the answer returned, an event waited for, a refusal
# and a silent QEMU reported as failures, each within its time.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

scripts=("$here"/../test-serial-vm.sh "$here"/*.sh)
for script in "${scripts[@]}"; do
  bash -n "$script" || fail "$script does not parse"
done
if command -v shellcheck >/dev/null; then
  shellcheck -x -S warning "${scripts[@]}" || fail "shellcheck"
else
  fail "shellcheck is not installed (apt-get install shellcheck)"
fi

command -v socat >/dev/null || { fail "socat is not installed"; exit 1; }
dir=$(mktemp -d)
trap 'kill "$fake" 2>/dev/null; rm -rf "$dir"' EXIT
# A fake QEMU: greets, takes the capabilities, answers as QEMU does, and
# notes every line it is sent.
cat >"$dir/qemu.sh" <<'EOF'
echo '{"QMP": {"version": {"qemu": {"micro": 0, "minor": 2, "major": 7}}, "capabilities": ["oob"]}}'
while IFS= read -r line; do
  echo "$line" >>"$1"
  case $line in
    *qmp_capabilities*) echo '{"return": {}}' ;;
    *device_del*)
      echo '{"timestamp": {"seconds": 1, "microseconds": 5}, "event": "DEVICE_DELETED", "data": {"path": "/machine/peripheral/adapter/unknown"}}'
      echo '{"timestamp": {"seconds": 1, "microseconds": 9}, "event": "DEVICE_DELETED", "data": {"device": "adapter", "path": "/machine/peripheral/adapter"}}'
      echo '{"return": {}}' ;;
    *device_add*)
      echo '{"return": {}}'
      sleep 0.3
      echo '{"timestamp": {"seconds": 2, "microseconds": 0}, "event": "UNRELATED"}' ;;
    *no-such-command*) echo '{"error": {"class": "CommandNotFound", "desc": "The command no-such-command has not been found"}}' ;;
    *query-status*) echo '{"return": {"status": "running", "running": true}}' ;;
    *) ;; # a QEMU that says nothing
  esac
done
EOF
socat "UNIX-LISTEN:$dir/qmp.sock,fork" "EXEC:bash $dir/qemu.sh $dir/received" 2>/dev/null &
fake=$!
for _ in $(seq 50); do [ -S "$dir/qmp.sock" ] && break; sleep 0.1; done

# shellcheck source=scripts/vm/qmp.sh
. "$here/qmp.sh"
expect() { # WHAT EXPECTED_STATUS EXPECTED_OUTPUT_PART -- qmp arguments…
  local what=$1 status=$2 part=$3 output got
  shift 4
  output=$(qmp "$@" 2>&1)
  got=$?
  [ "$got" -eq "$status" ] || fail "$what: status $got, not $status: $output"
  [[ $output == *"$part"* ]] || fail "$what: «$part» not in «$output»"
}
expect "an answer" 0 '"running": true' -- "$dir/qmp.sock" '{"execute": "query-status"}'
expect "an event before the return" 0 '{"return": {}}' -- "$dir/qmp.sock" \
  '{"execute": "device_del", "arguments": {"id": "adapter"}}' '"DEVICE_DELETED".*"device": "adapter"' 3
expect "an event that never comes" 3 'no event matching' -- "$dir/qmp.sock" \
  '{"execute": "device_add", "arguments": {"driver": "usb-serial"}}' '"DEVICE_ADDED"' 1
expect "a refusal" 2 'CommandNotFound' -- "$dir/qmp.sock" '{"execute": "no-such-command"}'
started=$SECONDS
expect "a silent QEMU" 2 'no answer within 2 s' -- "$dir/qmp.sock" '{"execute": "stop"}' '' 2
[ $((SECONDS - started)) -le 4 ] || fail "a silent QEMU held the helper $((SECONDS - started)) s"
expect "no socket" 1 'no socket' -- "$dir/none.sock" '{"execute": "query-status"}'
[ "$(head -n 1 "$dir/received")" = '{"execute": "qmp_capabilities"}' ] || fail "the capabilities were not sent first"

[ "$failures" -eq 0 ] && echo "the rig's scripts parse and its QMP helper speaks QMP"
exit $((failures > 0))
