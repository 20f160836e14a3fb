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
# Wine reads file names and arguments in the Unix locale's encoding.
export LC_ALL=C.UTF-8

# Wine's builtin copies of DLLs that a stock Windows lacks: Microsoft's
# redistributable runtimes and DirectX extras, which a program's installer
# would have to bring. They are switched off, so that a program needing one
# fails here as it would on Windows. The one third-party DLL among them,
# zlib1, stays: Debian's Wine's own user32.dll imports it, so no window opens
# without it; the programs' imports are checked without Wine instead
# (dist_checks.sh).
wine_foreign_dlls() {
  local dir=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows path name names=()
  for path in "$dir"/{msvcp[1-9],msvcr[1-9],vcruntime,vcomp,concrt,msvcm,atl[1-9],d3dx[1-9],d3dcompiler_3,d3dcompiler_4[0-6],xinput1_[1-3],x3daudio,xactengine,xapofx,xaudio2_[0-7]}*.dll; do
    [ -e "$path" ] || continue
    name=$(basename "$path" .dll)
    # msvcp60 and d3dcompiler_47 come with Windows.
    [ "$name" = msvcp60 ] || [ "$name" = d3dcompiler_47 ] || names+=("$name")
  done
  local IFS=,
  echo "${names[*]}"
}
# Mono's and Gecko's installers and the desktop-menu builder stay off too.
# Wine's own set-up (wineboot) runs without the rest: with them off, making a
# prefix leaves COM classes unregistered (no shortcut could be made).
wine_setup_overrides="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEDLLOVERRIDES="$wine_setup_overrides;$(wine_foreign_dlls)="
# Raised when the way the prefix is made changes: an older prefix is made anew.
wine_prefix_recipe=2
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

  if [ "$(cat "$WINEPREFIX/.complete" 2>/dev/null)" != "$wine_prefix_recipe" ]; then
    echo "-- making the Wine prefix $WINEPREFIX (once)"
    rm -rf "$WINEPREFIX"
    WINEDLLOVERRIDES=$wine_setup_overrides timeout 300 "$WINE" wineboot -i >/dev/null 2>&1 ||
      wine_fail "wineboot did not finish within 300 s"
    # A crash must end the program, not open the debugger's dialog.
    timeout 60 "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
      >/dev/null 2>&1 || wine_fail "cannot switch off the crash dialog"
    timeout 10 "$WINESERVER" -k >/dev/null 2>&1
    timeout 60 "$WINESERVER" -w || wine_fail "wineserver did not stop after making the prefix"
    echo "$wine_prefix_recipe" >"$WINEPREFIX/.complete"
  fi
  "$WINESERVER" -p </dev/null >/dev/null 2>&1 {wine_lock_fd}>&- || wine_fail "wineserver did not start"
  # Wine's own services and desktop process start with the first program and
  # outlive it, keeping its standard output open: start them here, on
  # /dev/null, so that a caller reading a program's output sees its end.
  WINEDLLOVERRIDES=$wine_setup_overrides timeout 60 "$WINE" wineboot </dev/null >/dev/null 2>&1 {wine_lock_fd}>&- ||
    wine_fail "wineboot did not finish within 60 s"
}

# wine_recover STATUS: after a run that crashed or was killed (a status none
# of the programs ends with: they give 0, 1 or 2), restarts the Wine server,
# since later runs in the same prefix may otherwise hang.
wine_recover() {
  case $1 in 0 | 1 | 2) return 0 ;; esac
  echo "wine runner: a run ended with status $1: restarting the Wine server" >&2
  timeout 10 "$WINESERVER" -k >/dev/null 2>&1
  timeout 30 "$WINESERVER" -w >/dev/null 2>&1
  "$WINESERVER" -p </dev/null >/dev/null 2>&1
  WINEDLLOVERRIDES=$wine_setup_overrides timeout 60 "$WINE" wineboot </dev/null >/dev/null 2>&1 ||
    echo "wine runner: wineboot did not finish within 60 s" >&2
}

# wine_run SECONDS PROGRAM.exe ARGS...: runs a Windows program, killed after SECONDS.
wine_run() {
  local seconds=$1 status
  shift
  timeout -k 5 "$seconds" "$WINE" "$@"
  status=$?
  wine_recover $status
  return $status
}
