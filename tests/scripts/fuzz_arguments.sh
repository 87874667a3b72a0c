#!/usr/bin/env bash
# scripts/fuzz refuses anything but a whole number of seconds, at once and with its usage:
# libFuzzer reads 0 or junk as "no limit" and 1h as one second.
set -u
fuzz=$1
failed=0
check() {
  local want=$1
  shift
  local err status
  err=$(timeout 10 "$fuzz" "$@" 2>&1 >/dev/null)
  status=$?
  if [ "$status" -ne "$want" ]; then
    echo "scripts/fuzz $*: status $status, expected $want" >&2
    failed=1
  elif [ "$want" -eq 2 ] && ! grep -q '^usage: scripts/fuzz' <<<"$err"; then
    echo "scripts/fuzz $*: no usage on standard error" >&2
    failed=1
  fi
}
for bad in abc 0 00 -5 1h 1.5 '' ' 3' --smoke=1; do
  check 2 "$bad"
done
check 2 1 2
check 0 --help
check 0 -h
exit $failed
