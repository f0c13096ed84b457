#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs inside the rig's virtual machine, as root, once it has booted: the
# checks of the kernel's serial drivers, written to the rig's shared folder
# as lines the rig reads (STEP, RESULT, FIGURE), then the machine powers off.
# The emulated FTDI adapter is /dev/ttyUSB0, the 16550 UART /dev/ttyS1; the
# rig's agent on the host answers requests on the virtio port.
set -u
export LANG=C.UTF-8 PATH=/usr/local/bin:/usr/bin:/usr/sbin:/bin:/sbin

share=/rig
modprobe 9pnet_virtio 2>/dev/null
mkdir -p "$share"
mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 rig "$share" || { echo "guest: no shared folder" >/dev/ttyS0; poweroff -f; }
out=$share/out
mkdir -p "$out"
chmod 1777 "$out" # the checks write their pictures as the users they run as
exec >>"$out/guest.log" 2>&1

step() { printf 'STEP %s %s\n' "$(cut -d' ' -f1 /proc/uptime)" "$*"; }
result() { printf 'RESULT %s %s %s %s\n' "$1" "$2" "$3" "$4"; }
finish() {
  step "powering off"
  sync
  umount "$share" 2>/dev/null
  poweroff -f
}
trap finish EXIT

step "guest up: $(uname -r)"
channel=/dev/virtio-ports/tarvex.rig
udevadm settle --timeout=60
for _ in $(seq 60); do
  [ -c /dev/ttyUSB0 ] && [ -c /dev/ttyS1 ] && [ -c "$channel" ] && break
  sleep 1
done
exec 3<>"$channel" || { result channel guest FAIL "no virtio port $channel"; exit 1; }
request=900
# A request to the rig's agent, answered within SECONDS (60).
ask() {
  local answer
  request=$((request + 1))
  printf '%s %s\n' "$request" "$1" >&3
  while IFS= read -r -t "${2:-60}" answer <&3; do
    [ "${answer%% *}" = "$request" ] && { printf '%s\n' "${answer#* }"; return 0; }
  done
  return 1
}
# Waits until the adapter is there again and udev is done with it.
adapter_back() {
  for _ in $(seq 60); do
    [ -c /dev/ttyUSB0 ] && [ -e /sys/bus/usb-serial/devices/ttyUSB0/latency_timer ] && break
    sleep 1
  done
  udevadm settle --timeout=60
}
# "latency N, ID_MM_DEVICE_IGNORE=V" of the adapter now.
rule_effect() {
  local latency ignore
  latency=$(cat /sys/bus/usb-serial/devices/ttyUSB0/latency_timer 2>/dev/null || echo "?")
  ignore=$(udevadm info --query=property --name=/dev/ttyUSB0 2>/dev/null | sed -n 's/^ID_MM_DEVICE_IGNORE=//p')
  printf 'latency %s ms, ID_MM_DEVICE_IGNORE=%s' "$latency" "${ignore:-unset}"
}

step "udev rule: the adapter as the package's rule left it, then without the rule, then with it again"
rule=/usr/lib/udev/rules.d/60-tarvex-serial.rules
with=$(rule_effect)
mv "$rule" /root/
udevadm control --reload
ask "pull same" 120 >/dev/null || step "the rig did not replug the adapter"
adapter_back
without=$(rule_effect)
mv /root/60-tarvex-serial.rules "$rule"
udevadm control --reload
ask "pull same" 120 >/dev/null || step "the rig did not replug the adapter"
adapter_back
again=$(rule_effect)
# Without the rule the timer is the chip's own: 16 ms on a real FTDI chip,
# 0 on QEMU's until it is set.
ok=FAIL
[ "$with" = "latency 1 ms, ID_MM_DEVICE_IGNORE=1" ] && [ "$again" = "$with" ] &&
  [[ $without =~ ^latency\ [0-9]+\ ms,\ ID_MM_DEVICE_IGNORE=unset$ ]] && [[ $without != "latency 1 ms"* ]] && ok=PASS
result udev-rule usb "$ok" "with the package: $with; without its rule: $without; with it again: $again"

step "the package on a bare system"
depends=$(dpkg-query -W -f='${Depends}' tarvex)
ok=FAIL
[[ $depends == *fonts-liberation2* ]] && ok=PASS
result depends package "$ok" "tarvex depends on: $depends"

checks=/usr/local/bin/tarvex-guest-checks
as() { # USER SECONDS COMMAND…: the command as that user, in a login's environment, for at most SECONDS
  local user=$1 limit=$2
  shift 2
  timeout "$limit" runuser -u "$user" -- env -i PATH="$PATH" LANG="$LANG" HOME="/home/$user" USER="$user" \
    XDG_RUNTIME_DIR="/tmp/runtime-$user" "$@"
}
for user in fitter outsider; do
  install -d -m 700 -o "$user" -g "$user" "/tmp/runtime-$user"
done

step "a user outside dialout connects"
(cd /home/outsider && as outsider 300 "$checks" permission /dev/ttyUSB0)

step "the window's fonts and captions, its first page beside the README's picture"
(cd /home/fitter && as fitter 300 "$checks" look "$share/in/page-settings.png" "$out/window-settings.png")

step "the packaged tarvex on an X server"
Xvfb :7 -screen 0 1280x720x24 -br -nolisten tcp >"$out/xvfb.log" 2>&1 &
xvfb=$!
sleep 3
cd /home/fitter || exit 1
as fitter 90 env DISPLAY=:7 tarvex >"$out/tarvex.log" 2>&1 &
as fitter 300 env DISPLAY=:7 QT_QPA_PLATFORM=xcb "$checks" screen "$out/window-xvfb.png"
# The window goes with its X server (or with its time-out).
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null

step "the window on the UART and the adapter, with pulls and replugs"
(cd /home/fitter && as fitter 2400 "$checks" lines --usb /dev/ttyUSB0 --uart /dev/ttyS1 \
  --firmware "$share/in/firmware.bin" 3<&3)
step "checks done"
