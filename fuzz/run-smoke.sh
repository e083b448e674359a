#!/bin/sh
# run-smoke.sh <fuzz target> <seed corpus> <runs>: every seed, then a fixed
# number of mutated runs from a fixed seed. New inputs go to a scratch
# folder, so the seed corpus in the source tree is never written.
set -eu
target=$1
corpus=$2
runs=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$target" -seed=1 -runs="$runs" -max_len=65536 -timeout=30 -rss_limit_mb=4096 \
  -print_final_stats=1 "$scratch" "$corpus"
