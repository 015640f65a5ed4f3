#!/bin/busybox sh
# The guest's first process, from the initramfs: loads the modules the real root needs, mounts
# the host's root read-only over 9p with a tmpfs taking the writes, mounts the results share,
# and hands over to the session script the host named in it.
/bin/busybox mkdir -p /proc /sys /dev /lower /upper /root
/bin/busybox mount -t proc proc /proc
/bin/busybox mount -t devtmpfs devtmpfs /dev
# Written by the runner in dependency order; a module already in (listed twice) is no failure.
while read -r module; do /bin/busybox insmod "$module" 2>/dev/null; done </modules.order

give_up() {
  echo "guest init: $*"
  echo o >/proc/sysrq-trigger
  /bin/busybox sleep 10
}

/bin/busybox mount -t 9p -o trans=virtio,version=9p2000.L,ro,msize=512000,cache=loose rootfs /lower ||
  give_up "cannot mount the host's root over 9p"
/bin/busybox mount -t tmpfs -o mode=0755 tmpfs /upper
/bin/busybox mkdir -p /upper/data /upper/work
/bin/busybox mount -t overlay -o lowerdir=/lower,upperdir=/upper/data,workdir=/upper/work overlay /root ||
  give_up "cannot lay the tmpfs over the host's root"
/bin/busybox mkdir -p /root/kalvora-results
/bin/busybox mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 results /root/kalvora-results ||
  give_up "cannot mount the results share"
/bin/busybox umount /proc
/bin/busybox mount --move /dev /root/dev
exec /bin/busybox switch_root /root /bin/bash /kalvora-results/session
