# Sourced by scripts/test.sh: makes sure this machine runs 32-bit x86 programs, which the 32-bit
# suite builds and runs. Some x86-64 kernels are built without 32-bit support and refuse such
# programs ("Exec format error"); there, as root, the kernel is told to hand them to QEMU's
# user-mode emulator (Debian's qemu-user-static), so the suite, and every program it starts,
# runs unchanged, only slower.

# ensure_32bit_programs_run: returns when a 32-bit program runs here, stops the script otherwise.
ensure_32bit_programs_run() {
  local probe_dir
  probe_dir=$(mktemp -d)
  # The probe is built with the same compiler and flag as the suite.
  printf 'int main(void) { return 0; }\n' > "$probe_dir/probe.c"
  gcc -m32 "$probe_dir/probe.c" -o "$probe_dir/probe"
  if "$probe_dir/probe" 2>/dev/null; then
    rm -rf "$probe_dir"
    return 0
  fi
  if [ "$(id -u)" -ne 0 ]; then
    echo "This machine does not run 32-bit x86 programs; as root, scripts/test.sh m32 would" >&2
    echo "register QEMU's user-mode emulator for them." >&2
    rm -rf "$probe_dir"
    exit 1
  fi
  echo "This machine does not run 32-bit x86 programs: running them through QEMU's emulator"
  ensure_packages qemu-user-static
  local binfmt=/proc/sys/fs/binfmt_misc
  if [ ! -e "$binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$binfmt"
  fi
  if [ ! -e "$binfmt/qemu-i386" ]; then
    # Matches 32-bit little-endian x86 ELF executables and position-independent ones (type 2
    # or 3, machine 3). F opens the emulator now, so it is found inside any later mount tree.
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
      > "$binfmt/register"
  fi
  if ! "$probe_dir/probe"; then
    echo "32-bit x86 programs still do not run here, even through QEMU's emulator" >&2
    rm -rf "$probe_dir"
    exit 1
  fi
  rm -rf "$probe_dir"
}
