#!/usr/bin/env bash
# Prints the architecture the tests run as under Wine: i686 where this
# machine runs 32-bit x86 code, else x86_64. Some kernels are booted without
# IA32 emulation; there no 32-bit process (not even Wine's WoW64 mode) can
# run, so the same sources are built for x86_64 as well and tested under
# 64-bit Wine, while the 32-bit binaries are still built as the deliverables.
if [ -n "${QARN_TEST_ARCH:-}" ]; then echo "$QARN_TEST_ARCH"; exit 0; fi
if /lib/i386-linux-gnu/ld-linux.so.2 --version >/dev/null 2>&1; then
  echo i686
else
  echo x86_64
fi
