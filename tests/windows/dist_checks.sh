# Sourced by run_wine_tests.sh: checks of the Windows dist folder that need no
# Wine. Each prints its result through check (run_wine_tests.sh).

# DLLs every 64-bit Windows has (lower case). A program may import these and
# the DLLs shipped beside it, nothing else: a stock Windows has no zlib1.dll,
# no MinGW runtime and no Microsoft redistributable runtime.
windows_system_dlls=(kernel32 user32 gdi32 comdlg32 ole32 oleaut32 advapi32 shell32 shlwapi msvcrt
  ddraw dsound dinput dinput8 winmm opengl32 glu32 version imm32 comctl32 ws2_32 bcrypt ntdll)

# check_dll_imports DIST: every .exe in DIST imports only system DLLs and
# DLLs shipped in DIST; prints each program's list.
check_dll_imports() {
  local dist=$1 program dll bad status
  for program in "$dist"/*.exe; do
    bad=()
    local dlls
    dlls=$(x86_64-w64-mingw32-objdump -p "$program" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' | sort)
    for dll in $dlls; do
      [[ " ${windows_system_dlls[*]} " == *" ${dll%.dll} "* ]] && continue
      [ -n "$(find "$dist" -maxdepth 1 -iname "$dll")" ] && continue
      bad+=("$dll")
    done
    status=$(( ${#bad[@]} != 0 ))
    check $status "$(basename "$program") imports only Windows' own DLLs: $(echo $dlls)${bad:+ — not on Windows: ${bad[*]}}"
  done
}

# check_resources DIST VERSION: every .exe carries the icon, the manifest
# that makes file names UTF-8, and version information naming VERSION.
check_resources() {
  local dist=$1 version=$2 program listing
  [ -n "$version" ] || { check 1 "the engine's version is known (version_number.h)"; return; }
  for program in "$dist"/*.exe; do
    listing=$(wrestool -l "$program" 2>/dev/null)
    grep -q -- '--type=14 ' <<<"$listing" &&  # icon group
      grep -q -- '--type=24 ' <<<"$listing" &&  # manifest
      wrestool -x --raw --type=24 "$program" 2>/dev/null | grep -q '<activeCodePage[^>]*>UTF-8<' &&
      wrestool -x --raw --type=16 "$program" 2>/dev/null | tr -d '\0' | grep -q "FileVersion$version"
    check $? "$(basename "$program"): icon, UTF-8 manifest and version $version in its resources"
  done
}
