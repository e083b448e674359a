#!/bin/sh
# The shared library exports exactly the two self-registration entry points.
# Usage: check_so_exports.sh <library.so>
set -eu
symbols=$(nm -D --defined-only "$1" | awk '{print $3}' | sort | tr '\n' ' ')
if [ "$symbols" != "DllRegisterServer DllUnregisterServer " ]; then
  echo "unexpected dynamic symbols: '$symbols'"
  exit 1
fi
echo "exports: $symbols"
