#!/usr/bin/env bash
# What a run of the suite leaves behind: debugger applications, shared-memory blocks and test
# folders that were not there before it. "baseline FILE" records the state before the first test,
# "check FILE" (after the last test) fails and names everything that is new.
set -u
mode="$1"; state="$2"
snapshot() {
  { ls /dev/shm 2>/dev/null | grep -i -E '^(mve|MVE)' | sed 's/^/shm /'
    pgrep -x 'mve-debugger' 2>/dev/null | sed 's/^/process /'
    ls -d /tmp/mve-test-* 2>/dev/null | sed 's/^/folder /'; } | sort
}
case "$mode" in
  baseline) snapshot > "$state"; echo "baseline: $(wc -l < "$state") entries" ;;
  check)
    left=$(comm -13 "$state" <(snapshot))
    if [ -n "$left" ]; then
      echo "The suite left these behind:"; echo "$left"
      for p in $(echo "$left" | awk '$1=="process"{print $2}'); do ps -o pid,args -p "$p" | tail -n +2; done
      exit 1
    fi
    echo "nothing left behind" ;;
  *) echo "usage: $0 baseline|check FILE"; exit 2 ;;
esac
