#!/bin/sh
# A stand-in for adb, first on PATH in the tests. FAKE_ADB_MODE: ok (default), fail, hang, nofile.
# `shell` keeps what it reads in $FAKE_ADB_SCRIPT; `pull` copies from $FAKE_ADB_FILES.
[ -n "$FAKE_ADB_LOG" ] && echo "$*" >> "$FAKE_ADB_LOG"
case "${FAKE_ADB_MODE:-ok}" in
  fail) exit 1 ;;
  hang) sleep 600 ;;
esac
case "$1" in
  shell) cat > "${FAKE_ADB_SCRIPT:-/dev/null}" ;;
  pull)
    [ "${FAKE_ADB_MODE:-ok}" = nofile ] && exit 0
    cp "$FAKE_ADB_FILES/$(basename "$2")" "$3" || exit 1 ;;
  *) exit 1 ;;
esac
