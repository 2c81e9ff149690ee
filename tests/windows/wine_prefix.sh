#!/usr/bin/env bash
# Starts Wine for the checks that run under it, in the private prefix that WINEPREFIX names:
#   wine_prefix.sh start   makes the prefix on first use (Wine's slow first start, kept out of
#                          the timed checks) and keeps one wineserver up for all of them
#   wine_prefix.sh stop    ends that wineserver and the Wine processes of the prefix
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX names the prefix}"
WINE=${WINE:-wine}  # the loader of the checks' architecture

case "${1:-}" in
  start)
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      echo "making the Wine prefix $WINEPREFIX"
      "$WINE" wineboot --init </dev/null >/dev/null 2>&1
      wineserver --wait
    fi
    # The server and Wine's own services outlive each program, so every check skips Wine's
    # start-up; they end by themselves a while after the last program if the stop step never
    # comes. They hold none of this step's output open, or the test runner would wait for them.
    # A server left running by an interrupted run is ended first: only one may serve a prefix.
    wineserver --kill </dev/null >/dev/null 2>&1 || true
    wineserver --wait
    wineserver --persistent=300 </dev/null >/dev/null 2>&1
    "$WINE" wineboot </dev/null >/dev/null 2>&1
    echo "$("$WINE" --version) ready in $WINEPREFIX"
    ;;
  stop)
    wineserver --kill || true
    ;;
  *)
    echo "usage: $0 start|stop" >&2
    exit 2
    ;;
esac
