#!/bin/sh
# A stand-in for adb, first on PATH in the tests. FAKE_ADB_MODE: ok (default), fail, hang, nofile.
# With FAKE_ADB_ROOT, a phone whose file system lies under that folder: `shell` runs the script it
# reads as the phone would (paths under /data and /dev moved under the root; su, exit and the
# Windows lines after them left out) and `pull` copies from there. Without it, `shell` keeps what
# it reads in $FAKE_ADB_SCRIPT and `pull` copies from $FAKE_ADB_FILES.
[ -n "$FAKE_ADB_LOG" ] && echo "$*" >> "$FAKE_ADB_LOG"
case "${FAKE_ADB_MODE:-ok}" in
  fail) exit 1 ;;
  hang) sleep 600 ;;
esac
case "$1" in
  shell)
    if [ -n "$FAKE_ADB_ROOT" ]; then
      mkdir -p "$FAKE_ADB_ROOT/dev"
      tee "${FAKE_ADB_SCRIPT:-/dev/null}" | tr -d '\r' \
        | grep -v -e '^su' -e '^exit' -e '^del ' -e '^Del ' \
        | sed -e "s#/data/#$FAKE_ADB_ROOT/data/#g" -e "s#/dev/zktemp#$FAKE_ADB_ROOT/dev/zktemp#g" \
        | sh
    else
      cat > "${FAKE_ADB_SCRIPT:-/dev/null}"
    fi ;;
  pull)
    [ "${FAKE_ADB_MODE:-ok}" = nofile ] && exit 0
    if [ -n "$FAKE_ADB_ROOT" ]; then
      cp "$FAKE_ADB_ROOT$2" "$3" 2>/dev/null || exit 1
    else
      cp "$FAKE_ADB_FILES/$(basename "$2")" "$3" 2>/dev/null || exit 1
    fi ;;
  *) exit 1 ;;
esac
