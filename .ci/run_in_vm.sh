#!/bin/bash
# Runs a command in a small emulated x86-64 machine, for hosts that cannot run 32-bit programs
# themselves, such as Wine's 32-bit loader. The machine boots a Debian kernel that .ci/run
# unpacked into build/vm_kernel, so that nothing that boots is installed on the host, and sees
# the host's files at the same paths, read-only, except DIR, which it can write. Its TMPDIR and
# /run are in memory: Wine's server cannot keep its socket in a shared folder, and a Wine prefix
# there would be slow to make. Everything else the machine needs is kept in a temporary folder,
# removed at the end.
#
#   run_in_vm.sh DIR COMMAND [ARGUMENT...]
#
# The command runs in DIR. Needs qemu-system-x86 and busybox-static. Writes what the command
# writes and exits with its status.
set -euo pipefail

dir=$(realpath "$1")
shift
unpacked=$(realpath -m "$(dirname "$0")/../build/vm_kernel")
# Where nothing was unpacked, find fails, and the message below says so.
kernel=$(find "$unpacked/boot" -name 'vmlinuz-*' 2>/dev/null | sort -V | tail -n 1) || true
if [[ -z $kernel ]]; then
    echo "no kernel for the emulated machine in $unpacked: bash .ci/run unpacks one there," \
        "or unpack the package that linux-image-amd64 depends on there with dpkg-deb -x" >&2
    exit 1
fi
modules=$(find "$unpacked" -type d -path "*/modules/${kernel##*/vmlinuz-}/kernel")
# The host's files reach the machine through 9p over virtio; each module after those it needs.
# A kernel may have some of them built in.
module_names=(virtio_ring virtio virtio_pci_legacy_dev virtio_pci_modern_dev virtio_pci
    netfs fscache 9pnet 9pnet_virtio 9p)

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
initrd=$scratch/initrd
mkdir -p "$initrd/bin" "$initrd/root" "$scratch/tmp"
cp /bin/busybox "$initrd/bin/"
for name in "${module_names[@]}"; do
    module=$(find "$modules" -name "$name.ko*")
    # Debian 13's modules are compressed, which busybox's insmod cannot load.
    case $module in
        *.xz) busybox xzcat "$module" >"$initrd/$name.ko" ;;
        ?*) cp "$module" "$initrd/" ;;
    esac
done
printf '%q ' "$@" >"$scratch/command"

cat >"$initrd/init" <<EOF
#!/bin/busybox sh
/bin/busybox --install -s /bin
for name in ${module_names[*]}; do [ ! -e /\$name.ko ] || insmod /\$name.ko; done
mount -t 9p -o ro,trans=virtio,version=9p2000.L,msize=512000 host /root
mount -t proc proc /root/proc
mount -t sysfs sys /root/sys
mount -t devtmpfs dev /root/dev
# Terminals, for the tests that give Wine's console one.
mkdir -p /root/dev/pts
mount -t devpts devpts /root/dev/pts
# Wine's server keeps its socket in /run/user/0, as a login makes it; Debian 13's crashes
# where that is missing and TMPDIR is set.
mount -t tmpfs -o mode=755 run /root/run
mkdir -p -m 700 /root/run/user/0
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 work /root$dir
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 scratch /root$scratch
mount -t tmpfs -o mode=1777 tmp /root$scratch/tmp
chroot /root /usr/bin/env -i PATH=/usr/bin:/bin HOME=$scratch/tmp TMPDIR=$scratch/tmp \\
    XDG_RUNTIME_DIR=/run/user/0 \\
    /bin/bash -c 'cd $dir && . $scratch/command >$scratch/output 2>&1; echo \$? >$scratch/status'
poweroff -f
EOF
chmod +x "$initrd/init"
(cd "$initrd" && find . | busybox cpio -o -H newc 2>/dev/null) >"$scratch/initrd.cpio"

timeout 3000 qemu-system-x86_64 -accel tcg,thread=multi -smp 2 -m 3G \
    -nographic -no-reboot -kernel "$kernel" -initrd "$scratch/initrd.cpio" \
    -append "console=ttyS0 quiet panic=-1" \
    -virtfs local,path=/,mount_tag=host,security_model=none,readonly=on,multidevs=remap \
    -virtfs "local,path=$dir,mount_tag=work,security_model=none" \
    -virtfs "local,path=$scratch,mount_tag=scratch,security_model=none" \
    </dev/null >"$scratch/console.log" 2>&1 || true

cat "$scratch/output" 2>/dev/null || true
if [[ ! -s "$scratch/status" ]]; then
    echo "the emulated machine stopped before the command ended:"
    tail -n 20 "$scratch/console.log"
    exit 1
fi
exit "$(cat "$scratch/status")"
