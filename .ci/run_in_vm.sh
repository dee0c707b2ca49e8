#!/bin/bash
# Runs a command in a small emulated x86-64 machine, for hosts that cannot run 32-bit programs
# themselves, such as Wine's 32-bit loader. The machine boots the host's Debian kernel and sees
# the host's files at the same paths, read-only, except DIR, which it can write. Its TMPDIR,
# DIR/tmp, is in memory: Wine's server cannot keep its socket in the shared folder, and a Wine
# prefix there would be slow to make.
#
#   run_in_vm.sh DIR COMMAND [ARGUMENT...]
#
# The command runs in DIR. Needs qemu-system-x86, busybox-static and linux-image-amd64. Writes
# what the command writes and exits with its status.
set -euo pipefail

dir=$(realpath "$1")
shift
kernel=$(find /boot -name 'vmlinuz-*' | sort -V | tail -n 1)
if [[ -z $kernel ]]; then
    echo "no kernel in /boot for the emulated machine: install linux-image-amd64"
    exit 1
fi
modules=/lib/modules/${kernel#/boot/vmlinuz-}/kernel
# The host's files reach the machine through 9p over virtio; each module after those it needs.
module_names=(virtio_ring virtio virtio_pci_legacy_dev virtio_pci_modern_dev virtio_pci
    netfs fscache 9pnet 9pnet_virtio 9p)

initrd=$dir/vm_initrd
rm -rf "$initrd" "$dir/vm_status" "$dir/vm_output"
mkdir -p "$initrd/bin" "$initrd/root" "$dir/tmp"
cp /bin/busybox "$initrd/bin/"
for name in "${module_names[@]}"; do
    find "$modules" -name "$name.ko" -exec cp {} "$initrd/" \;
done
printf '%q ' "$@" >"$dir/vm_command"

cat >"$initrd/init" <<EOF
#!/bin/busybox sh
/bin/busybox --install -s /bin
for name in ${module_names[*]}; do insmod /\$name.ko; done
mount -t 9p -o ro,trans=virtio,version=9p2000.L,msize=512000 host /root
mount -t proc proc /root/proc
mount -t sysfs sys /root/sys
mount -t devtmpfs dev /root/dev
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 work /root$dir
mount -t tmpfs -o mode=1777 tmp /root$dir/tmp
chroot /root /usr/bin/env -i PATH=/usr/bin:/bin HOME=$dir TMPDIR=$dir/tmp \\
    /bin/bash -c 'cd $dir && . $dir/vm_command >$dir/vm_output 2>&1; echo \$? >$dir/vm_status'
poweroff -f
EOF
chmod +x "$initrd/init"
(cd "$initrd" && find . | busybox cpio -o -H newc 2>/dev/null) >"$dir/vm_initrd.cpio"

timeout 3000 qemu-system-x86_64 -accel tcg,thread=multi -smp 2 -m 3G \
    -nographic -no-reboot -kernel "$kernel" -initrd "$dir/vm_initrd.cpio" \
    -append "console=ttyS0 quiet panic=-1" \
    -virtfs local,path=/,mount_tag=host,security_model=none,readonly=on,multidevs=remap \
    -virtfs "local,path=$dir,mount_tag=work,security_model=none" \
    </dev/null >"$dir/vm_console.log" 2>&1 || true

cat "$dir/vm_output" 2>/dev/null || true
if [[ ! -s "$dir/vm_status" ]]; then
    echo "the emulated machine stopped before the command ended:"
    tail -n 20 "$dir/vm_console.log"
    exit 1
fi
exit "$(cat "$dir/vm_status")"
