#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The program on the kernel's serial drivers: builds the package, installs it
# in a Debian 12 virtual machine, boots it under QEMU with an emulated FTDI
# USB-serial adapter (ftdi_sio) and an emulated 16550 UART (8250), each wired
# to an ECU simulator on this machine, runs the checks inside it and prints
# their table. Run as root on Debian 12; it installs what it needs.
#
#   bash scripts/test-serial-vm.sh
#
# The guest's system is made once and kept under the user's cache folder
# (made again when scripts/vm/image.sh changes). Each run's files and logs
# are in build-vm/run; a failure names its step and its log.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-vm
run=$build/run
cache=${XDG_CACHE_HOME:-$HOME/.cache}/tarvex/vm
serial=TARVEX0001
guest_minutes=45

started=$SECONDS
exec 3>&2 # the terminal, also while a step's output goes to its log
current=""
current_log=""
step() { # WHAT LOG: says what is being done, with the time so far
  current=$1
  current_log=$run/logs/$2.log
  : >"$current_log"
  printf '[%3d:%02d] %s\n' $(((SECONDS - started) / 60)) $(((SECONDS - started) % 60)) "$1"
}
failed() {
  local status=$?
  trap - EXIT
  cleanup
  if [ "$status" -ne 0 ] && [ -n "$current" ]; then
    echo "FAILED at: $current (exit $status)" >&3
    [ -s "$current_log" ] && tail -n 20 "$current_log" >&3
    echo "Its log: $current_log; all logs: $run/logs" >&3
  fi
  exit "$status"
}
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}" $(cat "$run"/*.pid 2>/dev/null); do
    kill "$pid" 2>/dev/null || true
  done
  wait 2>/dev/null || true
  for mount in "$run/root/proc" "$run/root/sys" "$run/root/dev" "$run/root/var/cache/apt/archives"; do
    mountpoint -q "$mount" 2>/dev/null && umount "$mount"
  done
  return 0
}

[ "$(id -u)" -eq 0 ] || { echo "test-serial-vm.sh: run it as root (it installs packages and boots a machine)" >&2; exit 1; }
mkdir -p "$build"
cleanup_old=$run
[ -d "$cleanup_old" ] && rm -rf "$cleanup_old"
mkdir -p "$run/logs" "$run/share/in" "$run/share/out" "$cache"
trap failed EXIT

# Debian's mirror, as this machine's apt sources name it.
debian_mirror() {
  if [ -r /etc/apt/sources.list.d/debian.sources ]; then
    awk 'BEGIN { RS = ""; FS = "\n" }
      { uri = ""; suite = 0
        for (i = 1; i <= NF; i++) {
          if ($i ~ /^URIs:/) { split($i, f, /[ \t]+/); uri = f[2] }
          if ($i ~ /^Suites:/ && $i ~ /[ \t]bookworm([ \t]|$)/) suite = 1
        }
        if (uri != "" && suite) { print uri; exit } }' /etc/apt/sources.list.d/debian.sources
  fi
  if [ -r /etc/apt/sources.list ]; then
    sed -E 's/\[[^]]*\]//' /etc/apt/sources.list | awk '$1 == "deb" && $3 == "bookworm" { print $2; exit }'
  fi
}

step "installing what the rig needs (QEMU, debootstrap, socat) and the build's packages" packages
{
  bash scripts/install-deps.sh qemu-system-x86 seabios debootstrap e2fsprogs socat file dpkg-dev
} >>"$current_log" 2>&1

step "building the package and the guest's checks in build-vm" build
{
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON "${launcher[@]}"
  cmake --build "$build" --parallel 2 --target tarvex-guest-checks tarvex-ecu-sim
  rm -f "$build"/tarvex_*_amd64.deb
  bash scripts/package.sh "${build#"$root"/}"
} >>"$current_log" 2>&1
deb=$(ls "$build"/tarvex_*_amd64.deb)
sim=$build/tarvex-ecu-sim

mirror=$(debian_mirror | head -n 1)
[ -n "$mirror" ] || { current="reading the Debian mirror from /etc/apt/sources*"; false; }
recipe=$(cat scripts/vm/image.sh <(echo "$mirror") | sha256sum | cut -c1-16)
base=$cache/base-$recipe
if [ ! -e "$base/.complete" ]; then
  step "making the guest's Debian 12 system from $mirror (once; kept in $cache)" image
  rm -rf "$cache"/base-*
  bash scripts/vm/image.sh "$base" "$mirror" >>"$current_log" 2>&1
  touch "$base/.complete"
else
  step "the guest's system is kept in $base" image
fi

step "installing the fresh package in a copy of it, with only the packages it depends on" install
{
  cp -a "$base" "$run/root"
  cp /etc/resolv.conf "$run/root/etc/resolv.conf"
  mkdir -p "$cache/archives/partial"
  mount -t proc proc "$run/root/proc"
  mount --bind "$cache/archives" "$run/root/var/cache/apt/archives"
  cp "$deb" "$run/root/tmp/"
  chroot "$run/root" dpkg-query -W -f='${Package}\n' | sort >"$run/before.txt"
  chroot "$run/root" apt-get update -q
  DEBIAN_FRONTEND=noninteractive chroot "$run/root" apt-get install -y -q --no-install-recommends \
    "/tmp/$(basename "$deb")"
  chroot "$run/root" dpkg-query -W -f='${Package}\n' | sort | comm -13 "$run/before.txt" - >"$run/pulled-in.txt"
  umount "$run/root/var/cache/apt/archives" "$run/root/proc"
  rm -f "$run/root/tmp/$(basename "$deb")"
  echo "The package pulled in: $(tr '\n' ' ' <"$run/pulled-in.txt")"
  install -m 755 "$build/tests/vm/tarvex-guest-checks" "$run/root/usr/local/bin/"
  install -D -m 755 scripts/vm/guest.sh "$run/root/usr/local/lib/tarvex-rig/guest.sh"
  cat >"$run/root/etc/systemd/system/tarvex-rig.service" <<'EOF'
[Unit]
Description=The rig's checks of the kernel's serial drivers
After=systemd-udevd.service systemd-udev-trigger.service
[Service]
Type=oneshot
ExecStart=/usr/local/lib/tarvex-rig/guest.sh
[Install]
WantedBy=multi-user.target
EOF
  mkdir -p "$run/root/etc/systemd/system/multi-user.target.wants"
  ln -sf /etc/systemd/system/tarvex-rig.service "$run/root/etc/systemd/system/multi-user.target.wants/"
  cp "$run"/root/boot/vmlinuz-* "$run/vmlinuz"
  cp "$run"/root/boot/initrd.img-* "$run/initrd.img"
  mke2fs -q -F -t ext4 -L tarvex-rig -d "$run/root" "$run/guest.img" 4G
  rm -rf "$run/root"
} >>"$current_log" 2>&1
cp docs/page-settings.png "$run/share/in/"
head -c 30000 /dev/urandom >"$run/share/in/firmware.bin"

step "starting an ECU simulator for each line" simulators
for line in usb uart; do
  echo "$run/$line.1.transcript" >"$run/$line.transcript-now"
  echo 1 >"$run/$line.transcripts"
  setsid "$sim" --name "$line" --no-register --link "$run/$line.pty" --state "$run/$line.state" \
    --image "$run/$line.image" --transcript "$run/$line.1.transcript" >>"$run/logs/simulator-$line.log" 2>&1 &
  echo $! >"$run/$line.pid"
done
for _ in $(seq 100); do [ -e "$run/usb.pty" ] && [ -e "$run/uart.pty" ] && break; sleep 0.1; done
[ -e "$run/usb.pty" ] && [ -e "$run/uart.pty" ]

accel=tcg
if [ -w /dev/kvm ] && qemu-system-x86_64 -accel kvm -machine none -display none -S -daemonize \
  -pidfile "$run/kvm-probe.pid" 2>/dev/null; then
  kill "$(cat "$run/kvm-probe.pid")"
  rm -f "$run/kvm-probe.pid"
  accel=kvm
fi
step "booting the guest under QEMU ($accel) with the FTDI adapter (serial $serial) and the 16550 UART" boot
RIG_RUN=$run RIG_SIM=$sim RIG_SERIAL=$serial \
  socat "UNIX-LISTEN:$run/rig.sock" "EXEC:bash $root/scripts/vm/agent.sh" 2>>"$run/logs/agent.log" &
pids+=($!)
for _ in $(seq 50); do [ -S "$run/rig.sock" ] && break; sleep 0.1; done
timeout $((guest_minutes * 60)) qemu-system-x86_64 -accel "$accel" -machine pc -m 1536 -smp 2 \
  -display none -vga none -nic none -no-reboot \
  -kernel "$run/vmlinuz" -initrd "$run/initrd.img" \
  -append "root=/dev/vda rw console=ttyS0 quiet systemd.show_status=false" \
  -drive "file=$run/guest.img,if=virtio,format=raw,cache=unsafe" \
  -serial "file:$run/logs/console.log" \
  -chardev "serial,id=uartline,path=$run/uart.pty" -device isa-serial,chardev=uartline,index=1 \
  -device qemu-xhci,id=xhci \
  -chardev "serial,id=usbline,path=$run/usb.pty" \
  -device "usb-serial,id=adapter,bus=xhci.0,port=1,chardev=usbline,serial=$serial" \
  -device virtio-serial-pci -chardev "socket,id=rig,path=$run/rig.sock" \
  -device virtserialport,chardev=rig,name=tarvex.rig \
  -virtfs "local,path=$run/share,mount_tag=rig,security_model=none,id=share" \
  -qmp "unix:$run/qmp.sock,server=on,wait=off" >>"$current_log" 2>&1 &
qemu=$!
pids+=("$qemu")

# The guest's steps as they come, until it powers off.
guest_log=$run/share/out/guest.log
shown=0
while kill -0 "$qemu" 2>/dev/null; do
  if [ -e "$guest_log" ]; then
    total=$(wc -l <"$guest_log")
    if [ "$total" -gt "$shown" ]; then
      sed -n "$((shown + 1)),${total}p" "$guest_log" | awk '$1 == "STEP" { $1 = ""; $2 = sprintf("guest %6.1f s:", $2); print "         " $0 }'
      shown=$total
    fi
  fi
  sleep 2
done
wait "$qemu" && status=0 || status=$?
current="running the guest (QEMU ended with $status)"
current_log=$run/logs/boot.log
[ "$status" -eq 0 ]
[ -e "$guest_log" ] || { current="booting the guest: it never reached its checks (see console.log)"; current_log=$run/logs/console.log; false; }

step "results" results
results=$(grep -h '^RESULT ' "$guest_log" || true)
figures=$(grep -h '^FIGURE ' "$guest_log" || true)
expected="udev-rule:usb depends:package permission:usb fonts:package labels:package picture:package
window:package connect:uart line-settings:uart modem-lines:uart live-data:uart error-counters:uart
map-read:uart cell-write:uart store:uart batch:uart firmware:uart connect:usb line-settings:usb
modem-lines:usb live-data:usb error-counters:usb map-read:usb cell-write:usb store:usb batch:usb
firmware:usb replug-same-socket:usb replug-other-socket:usb replug-held-node:usb replug-new-name:usb"
{
  printf '%-20s %-8s %-5s %s\n' CHECK LINE "" WHAT
  awk '{ what = $0; for (i = 0; i < 4; i++) sub(/^[^ ]+ /, "", what); printf "%-20s %-8s %-5s %s\n", $2, $3, $4, what }' <<<"$results"
  for check in $expected; do
    grep -q "^RESULT ${check%%:*} ${check##*:} " <<<"$results" ||
      printf '%-20s %-8s %-5s %s\n' "${check%%:*}" "${check##*:}" FAIL "did not run"
  done
  echo
  if [ -n "$figures" ]; then
    awk '{ what = $0; for (i = 0; i < 3; i++) sub(/^[^ ]+ /, "", what); printf "%-9s %-8s %s\n", $2, $3, what }' <<<"$figures"
    echo
  fi
  echo "The package pulled in: $(tr '\n' ' ' <"$run/pulled-in.txt")"
  echo "Pictures: $run/share/out/window-settings.png, $run/share/out/window-xvfb.png"
  printf 'Run time: %d min %02d s (%s)\n' $(((SECONDS - started) / 60)) $(((SECONDS - started) % 60)) "$accel"
} | tee "$run/results.txt"
failures=$(grep -c '^RESULT [^ ]* [^ ]* FAIL' <<<"$results" || true)
missing=0
for check in $expected; do
  grep -q "^RESULT ${check%%:*} ${check##*:} " <<<"$results" || missing=$((missing + 1))
done
if [ "$failures" -gt 0 ] || [ "$missing" -gt 0 ]; then
  current="the checks: $failures failed, $missing did not run"
  current_log=$guest_log
  false
fi
echo "All checks passed."
