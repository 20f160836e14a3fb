# Sourced by the Wine runners: one Xvfb, one Wine prefix and one persistent
# wineserver for a series of runs of the Windows programs.
#   wine_session_start   starts them (and makes the cached prefix once)
#   wine_session_stop    stops them (also run at exit) and removes every file
#                        the runs left in the prefix's temporary directories
# Nothing may wait on a person: Wine's crash dialog is off in the prefix,
# Mono/Gecko installers are disabled, and every wine command is under timeout.

wine_cache=${ORJ_WINDOWS_CACHE:-$HOME/.cache/orj-windows}
if command -v wine >/dev/null; then WINE=$(command -v wine); else WINE=/usr/lib/wine/wine64; fi
if command -v wineserver >/dev/null; then WINESERVER=$(command -v wineserver); else WINESERVER=/usr/lib/wine/wineserver; fi
export WINEPREFIX=$wine_cache/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export ORJ_MESSAGES=stderr
wine_xvfb_pid=
wine_display_file=
wine_lock_fd=

wine_fail() { echo "wine runner: $*" >&2; exit 1; }

wine_session_stop() {
  if [ -n "$wine_lock_fd" ]; then
    timeout 10 "$WINESERVER" -k >/dev/null 2>&1
    timeout 30 "$WINESERVER" -w >/dev/null 2>&1 || echo "wine runner: wineserver did not stop within 30 s" >&2
    rm -rf "$WINEPREFIX"/drive_c/users/*/Temp/* "$WINEPREFIX"/drive_c/users/*/AppData/Local/Temp/*
    # The stopped server's socket folder, named by the prefix's device and
    # inode, inside the temporary folder Wine made for it.
    local server dir
    server=$(stat -c '%d %i' "$WINEPREFIX" 2>/dev/null | { read -r d i && printf 'server-%x-%x' "$d" "$i"; })
    if [ -n "$server" ]; then
      for dir in "${TMPDIR:-/tmp}"/wine-*/"$server" "${TMPDIR:-/tmp}/.wine-$(id -u)/$server"; do
        [ -d "$dir" ] || continue
        rm -rf "$dir"
        rmdir "$(dirname "$dir")" 2>/dev/null
      done
    fi
    eval "exec $wine_lock_fd>&-"
    wine_lock_fd=
  fi
  if [ -n "$wine_xvfb_pid" ]; then
    kill "$wine_xvfb_pid" 2>/dev/null
    wait "$wine_xvfb_pid" 2>/dev/null
    wine_xvfb_pid=
  fi
  [ -n "$wine_display_file" ] && rm -f "$wine_display_file"
  wine_display_file=
}

wine_session_start() {
  [ -x "$WINE" ] || wine_fail "Wine is not installed (tools/build_windows.sh installs it)"
  command -v Xvfb >/dev/null || wine_fail "Xvfb is not installed"
  mkdir -p "$wine_cache"
  # One session at a time uses the cached prefix.
  exec {wine_lock_fd}>"$wine_cache/wineprefix.lock"
  flock -w 900 "$wine_lock_fd" || wine_fail "the Wine prefix stayed locked for 15 minutes"

  wine_display_file=$(mktemp)
  # -noreset: see tests/with_display.sh.
  Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp -noreset 9>"$wine_display_file" >/dev/null 2>&1 {wine_lock_fd}>&- &
  wine_xvfb_pid=$!
  for _ in $(seq 1 200); do
    [ -s "$wine_display_file" ] && break
    kill -0 "$wine_xvfb_pid" 2>/dev/null || wine_fail "Xvfb failed to start"
    sleep 0.05
  done
  [ -s "$wine_display_file" ] || wine_fail "Xvfb did not report a display"
  export DISPLAY=":$(head -n 1 "$wine_display_file")"

  if [ ! -f "$WINEPREFIX/.complete" ]; then
    echo "-- making the Wine prefix $WINEPREFIX (once)"
    rm -rf "$WINEPREFIX"
    timeout 300 "$WINE" wineboot -i >/dev/null 2>&1 || wine_fail "wineboot did not finish within 300 s"
    # A crash must end the program, not open the debugger's dialog.
    timeout 60 "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
      >/dev/null 2>&1 || wine_fail "cannot switch off the crash dialog"
    timeout 10 "$WINESERVER" -k >/dev/null 2>&1
    timeout 60 "$WINESERVER" -w || wine_fail "wineserver did not stop after making the prefix"
    touch "$WINEPREFIX/.complete"
  fi
  "$WINESERVER" -p </dev/null >/dev/null 2>&1 {wine_lock_fd}>&- || wine_fail "wineserver did not start"
  # Wine's own services and desktop process start with the first program and
  # outlive it, keeping its standard output open: start them here, on
  # /dev/null, so that a caller reading a program's output sees its end.
  timeout 60 "$WINE" wineboot </dev/null >/dev/null 2>&1 {wine_lock_fd}>&- || wine_fail "wineboot did not finish within 60 s"
}

# wine_run SECONDS PROGRAM.exe ARGS...: runs a Windows program, killed after SECONDS.
wine_run() {
  local seconds=$1
  shift
  timeout -k 5 "$seconds" "$WINE" "$@"
}
