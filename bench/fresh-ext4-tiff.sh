#!/usr/bin/env bash
# TIFF through the command line against libtiff on a file system where ext4
# finds free inodes at once: every benchmark program gets a new ext4 (no
# journal, as the root here) in a loop device, and nothing is deleted during
# its run. Needs root (mkfs, mount, sysctl); the kernel's write-back is held
# off while it runs and set back at the end.
#
#   bench/fresh-ext4-tiff.sh BUILD_DIR [FRAMES] [ROUNDS] [OTHER_KALORIX]
#
# BENCHMARKS="KalorixCommandLineJpegPlain KalorixCommandLineJpegExif ..."
# runs other benchmarks of bench_export the same way.
set -euo pipefail
build=$(realpath "$1")
frames=${2:-200}
rounds=${3:-3}
other=${4:-}
image=${FRESH_IMAGE:-/var/tmp/kalorix-fresh-ext4.img}
mountpoint=$(mktemp -d)

saved=$(sysctl -n vm.dirty_background_ratio vm.dirty_ratio vm.dirty_expire_centisecs \
            vm.dirty_writeback_centisecs | tr '\n' ' ')
restore() {
    umountFresh
    read -r background ratio expire writeback <<<"$saved"
    sysctl -q vm.dirty_background_ratio="$background" vm.dirty_ratio="$ratio" \
        vm.dirty_expire_centisecs="$expire" vm.dirty_writeback_centisecs="$writeback"
    rmdir "$mountpoint"
}
umountFresh() {
    if mountpoint -q "$mountpoint"; then umount "$mountpoint"; fi
    for device in $(losetup -j "$image" | cut -d: -f1); do losetup -d "$device"; done
    rm -f "$image"
}
trap restore EXIT
sysctl -q vm.dirty_background_ratio=60 vm.dirty_ratio=70 vm.dirty_expire_centisecs=360000 \
    vm.dirty_writeback_centisecs=0

read -r -a benchmarks <<<"${BENCHMARKS:-LibtiffSingleStrip KalorixCommandLineTiff}"
[ -n "$other" ] && [ -z "${BENCHMARKS:-}" ] && benchmarks+=(OtherCommandLineTiff)
for round in $(seq "$rounds"); do
    for benchmark in "${benchmarks[@]}"; do
        umountFresh
        truncate -s 20G "$image"
        mkfs.ext4 -q -O ^has_journal "$image"
        # Direct I/O: the image's own pages stay out of the page cache.
        mount "$(losetup --direct-io=on -f --show "$image")" "$mountpoint"
        TMPDIR=$mountpoint KALORIX_BENCH_MAPPING_FRAMES=$frames KALORIX_BENCH_KEEP_OUTPUT=1 \
            KALORIX_BENCH_OTHER_EXE=$other "$build/bench/bench_export" \
            --benchmark_filter="$benchmark" 2>/dev/null | grep '^BM_' || true
    done
done
