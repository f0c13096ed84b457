#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The rig's agent on the host: answers the guest's requests, which arrive
# one a line on its standard input (the virtio port, through socat), with
# one line each on its standard output: "ID ok …" or "ID error …".
#
#   mark LINE NAME      remembers where the simulator's transcript of LINE
#                       (usb or uart) stands
#   frames LINE NAME    the frames the simulator received since the mark,
#                       tab-separated, as the transcript writes them
#   cadence LINE NAME   the live-data requests since the mark: how many, the
#                       spacing of successive ones and of the same one (ms)
#   stty LINE           what the emulated chip set the host's end of LINE to
#   break LINE          a break on LINE, from QEMU
#   image LINE          whether the image the simulator received is the
#                       firmware file (and forgets it)
#   pull MODE [loader N] [restart]
#                       pulls the USB adapter (after N more loader bytes)
#                       and plugs it in again: same (socket 1), other
#                       (socket 2), both with the fixed serial number;
#                       bare1, bare3 (sockets 1 and 3) without one; with
#                       "restart" the simulator restarts meanwhile (the
#                       ECU's power was cycled)
#
# Environment: RIG_RUN (the run's folder), RIG_SIM (the simulator),
# RIG_SERIAL (the adapter's serial number).
set -u
run=$RIG_RUN
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/vm/qmp.sh
. "$here/qmp.sh"
log=$run/logs/agent.log
mkdir -p "$run/marks"

note() { printf '%(%H:%M:%S)T %s\n' -1 "$*" >>"$log"; }
transcript() { cat "$run/$1.transcript-now"; }

# The transcript's lines since the mark NAME of LINE.
since() {
  local file count now
  read -r file count <"$run/marks/$1.$2" || return 1
  now=$(transcript "$1")
  if [ "$file" = "$now" ]; then
    tail -n "+$((count + 1))" "$file"
  else
    cat "$now" # the simulator was restarted since
  fi
}

# "median p95 longest" of the numbers on standard input.
stats() {
  sort -n | awk '{ v[NR] = $1 } END {
    if (NR == 0) { print "- - -"; exit }
    i = int(NR * 0.95); if (i < 1) i = 1
    printf "%.1f %.1f %.1f\n", v[int((NR + 1) / 2)], v[i], v[NR] }'
}

cadence() {
  local requests successive same
  requests=$(since "$1" "$2" | awk '$2 == "RX" && ($3 == "<G>\\r" || $3 == "<H>\\r") { print $1, $3 }')
  read -r s_median s_p95 s_longest < <(awk 'NR > 1 { print $1 - t } { t = $1 }' <<<"$requests" | stats)
  read -r same_median _ _ < <(awk '{ if ($2 in t) print $1 - t[$2]; t[$2] = $1 }' <<<"$requests" | stats)
  successive="median $s_median, 95th percentile $s_p95, longest $s_longest"
  same="the same request: median $same_median"
  printf 'requests=%s successive requests: %s; %s\n' "$(grep -c . <<<"$requests")" "$successive" "$same"
}

chip() {
  local settings
  settings=$(stty -F "$run/$1.pty" -a 2>&1) || { echo "$settings"; return 1; }
  printf '%s %s %s %s\n' "$(sed -n 's/^speed \([0-9]*\) baud.*/\1/p' <<<"$settings")" \
    "$(grep -o '\bcs[5-8]\b' <<<"$settings")" "$(grep -oE '(^| )-?parenb\b' <<<"$settings" | tr -d ' ')" \
    "$(grep -oE '(^| )-?cstopb\b' <<<"$settings" | tr -d ' ')"
}

# Whether the image the simulator received is the file, its last block
# filled up with 0xFF as the loader sends it.
received() {
  local image=$1 file=$2 size blocks
  size=$(stat -c %s "$file")
  blocks=$(((size + 127) / 128))
  # The last byte went out a moment before the window said it was done.
  for _ in $(seq 50); do [ "$(stat -c %s "$image" 2>/dev/null)" = $((blocks * 128)) ] && break; sleep 0.1; done
  [ -e "$image" ] || { echo "missing"; return 0; }
  if cmp -s -n "$size" "$image" "$file" && [ "$(stat -c %s "$image")" -eq $((blocks * 128)) ] &&
    [ -z "$(tail -c +$((size + 1)) "$image" | tr -d '\377')" ]; then
    echo "same: $size bytes in $blocks blocks, the last filled up with 0xFF"
  else
    echo "differs: $(stat -c %s "$image") bytes received for $size"
  fi
}

loader_bytes() { grep -c ' LOADER ' "$(transcript usb)"; }

restart_simulator() {
  local pid count file
  pid=$(cat "$run/usb.pid")
  kill "$pid" 2>/dev/null
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  count=$(($(cat "$run/usb.transcripts") + 1))
  file=$run/usb.$count.transcript
  echo "$count" >"$run/usb.transcripts"
  setsid "$RIG_SIM" --name usb --no-register --link "$run/usb.pty" --state "$run/usb.state" \
    --image "$run/usb.image" --transcript "$file" >>"$run/logs/simulator-usb.log" 2>&1 &
  echo $! >"$run/usb.pid"
  for _ in $(seq 100); do [ -e "$run/usb.pty" ] && [ -e "$file" ] && break; sleep 0.1; done
  echo "$file" >"$run/usb.transcript-now"
  qmp "$run/qmp.sock" '{"execute": "chardev-remove", "arguments": {"id": "usbline"}}' >/dev/null &&
    qmp "$run/qmp.sock" "{\"execute\": \"chardev-add\", \"arguments\": {\"id\": \"usbline\", \"backend\":
      {\"type\": \"serial\", \"data\": {\"device\": \"$(readlink -f "$run/usb.pty")\"}}}}" >/dev/null
}

pull() {
  local mode=$1 port serial="" after=0 restart="" start deadline
  shift
  while [ $# -gt 0 ]; do
    case $1 in
      loader) after=$2; shift 2 ;;
      restart) restart=yes; shift ;;
      *) echo "unknown option $1"; return 1 ;;
    esac
  done
  case $mode in
    same) port=1 serial=$RIG_SERIAL ;;
    other) port=2 serial=$RIG_SERIAL ;;
    bare1) port=1 ;;
    bare3) port=3 ;;
    *) echo "unknown mode $mode"; return 1 ;;
  esac
  if [ "$after" -gt 0 ]; then
    start=$(loader_bytes)
    deadline=$((SECONDS + 300))
    until [ "$(loader_bytes)" -ge $((start + after)) ]; do
      [ "$SECONDS" -lt "$deadline" ] || { echo "no $after loader bytes within 300 s"; return 1; }
      sleep 0.2
    done
  fi
  qmp "$run/qmp.sock" '{"execute": "device_del", "arguments": {"id": "adapter"}}' \
    '"DEVICE_DELETED".*"device": "adapter"' 30 >/dev/null || { echo "device_del failed"; return 1; }
  note "pulled"
  if [ -n "$restart" ]; then
    restart_simulator || { echo "the simulator's restart failed"; return 1; }
    note "simulator restarted"
  fi
  sleep 1 # out of the socket a while, as a hand would
  qmp "$run/qmp.sock" "{\"execute\": \"device_add\", \"arguments\": {\"driver\": \"usb-serial\", \"id\": \"adapter\",
    \"bus\": \"xhci.0\", \"port\": \"$port\", \"chardev\": \"usbline\"${serial:+, \"serial\": \"$serial\"}}}" \
    >/dev/null || { echo "device_add failed"; return 1; }
  note "plugged into socket $port"
  echo "plugged into socket $port${serial:+ as $serial}"
}

handle() {
  local what=$1
  shift
  case $what in
    mark) echo "$(transcript "$1") $(wc -l <"$(transcript "$1")")" >"$run/marks/$1.$2" && echo "marked" ;;
    frames) since "$1" "$2" | awk '$2 == "RX" { sub(/^[^ ]+ [^ ]+ /, ""); print }' | paste -sd '\t' ;;
    cadence) cadence "$1" "$2" ;;
    stty) chip "$1" ;;
    break) qmp "$run/qmp.sock" "{\"execute\": \"chardev-send-break\", \"arguments\": {\"id\": \"$1line\"}}" >/dev/null &&
      echo "sent" ;;
    image) received "$run/$1.image" "$run/share/in/firmware.bin"; rm -f "$run/$1.image" ;;
    pull) pull "$@" ;;
    *) echo "unknown request $what"; return 1 ;;
  esac
}

note "agent up"
while IFS= read -r line; do
  id=${line%% *}
  read -r -a words <<<"${line#* }"
  note "< $line"
  if answer=$(handle "${words[@]}" 2>>"$log"); then
    reply="$id ok $answer"
  else
    reply="$id error $answer"
  fi
  note "> $reply"
  printf '%s\n' "$reply"
done
note "agent ends: the guest has gone"
