#!/bin/sh
# The shipped library holds nothing of the fault switch; the test copy of the
# core does, which shows that the names looked for are the right ones.
# Usage: check_no_fault_switch.sh <nm> <shipped library> <test copy of the core>
set -eu
pattern='InjectedFault|ArmFault|DisarmFaults|FaultCallsSeen'
if ! "$1" -C "$3" | grep -Eq "$pattern"; then
  echo "the test copy $3 has no fault switch: the check looks for the wrong names"
  exit 1
fi
if "$1" -C "$2" | grep -E "$pattern"; then
  echo "the shipped library $2 holds the fault switch"
  exit 1
fi
echo "no fault switch in $2"
