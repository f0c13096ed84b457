#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The recipe of the rig's guest: a Debian 12 system with the kernel, systemd
# and udev, Xvfb, and two users, without anything of Tarvex's (the fresh
# package goes in at each run). The rig keeps what this makes under the
# user's cache folder and makes it again when this file changes.
#
#   image.sh DIR MIRROR
set -euo pipefail
dir=$1
mirror=$2
suite=bookworm

debootstrap --variant=minbase --include=systemd-sysv,udev,kmod,procps,xvfb \
  "$suite" "$dir" "$mirror"

# Nothing started inside the chroot while packages go in.
printf '#!/bin/sh\nexit 101\n' >"$dir/usr/sbin/policy-rc.d"
chmod 755 "$dir/usr/sbin/policy-rc.d"
# The kernel's initramfs holds what a virtual disk needs and no more, so
# that it is made in seconds.
mkdir -p "$dir/etc/initramfs-tools/conf.d"
echo 'MODULES=list' >"$dir/etc/initramfs-tools/conf.d/tarvex-rig"
printf '%s\n' virtio_pci virtio_blk ext4 >"$dir/etc/initramfs-tools/modules"
mount -t proc proc "$dir/proc"
trap 'umount "$dir/proc"' EXIT
DEBIAN_FRONTEND=noninteractive chroot "$dir" apt-get install -y -q --no-install-recommends linux-image-amd64
chroot "$dir" apt-get clean

echo tarvex-rig >"$dir/etc/hostname"
echo '/dev/vda / ext4 rw,relatime 0 1' >"$dir/etc/fstab"
# A fitter in dialout, and a user who is not.
chroot "$dir" useradd --create-home --groups dialout fitter
chroot "$dir" useradd --create-home outsider
# Nothing that a boot need not wait for.
for unit in apt-daily.timer apt-daily-upgrade.timer e2scrub_all.timer e2scrub_reap.service fstrim.timer \
  getty@tty1.service serial-getty@ttyS0.service systemd-networkd.service systemd-timesyncd.service \
  systemd-journal-flush.service man-db.timer dpkg-db-backup.timer; do
  ln -sf /dev/null "$dir/etc/systemd/system/$unit"
done
