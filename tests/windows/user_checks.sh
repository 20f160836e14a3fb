# Sourced by run_wine_tests.sh: what a Windows user does with the dist folder
# and the installer, checked under Wine against the Linux build. Uses check,
# wine_run, $scratch (with the Linux references),
# $linux_build and $dist from run_wine_tests.sh.

# A Linux path as a Windows program is handed it from cmd.exe: Z:\tmp\...
windows_path() {
  local path=${1//\//\\}
  printf 'Z:%s' "$path"
}

# same_within FILE_A FILE_B: the texts are the same word for word, numbers
# within 1e-4 of each other (relative above 1). The C libraries' sin, cos and
# atan2 differ in their last bit, and a deep hierarchy piles that up: a
# 66-level Collada model's placements differ by up to 3e-5. Prints how many
# numbers differ and by how much.
same_within() {
  awk -v limit=1e-4 '
    function abs(x) { return x < 0 ? -x : x }
    function number(x) { return x ~ /^-?[0-9]*\.?[0-9]+([eE][-+]?[0-9]+)?$/ }
    NR == FNR { line[FNR] = $0; lines = FNR; next }
    {
      n = split(line[FNR], a, /[ \t]+/)
      if (FNR > lines || split($0, b, /[ \t]+/) != n) { bad = 1; exit }
      for (i = 1; i <= n; i++) {
        if (a[i] == b[i]) continue
        if (!number(a[i]) || !number(b[i])) { bad = 1; exit }
        d = abs(a[i] - b[i]) / (abs(a[i]) > 1 ? abs(a[i]) : 1)
        if (d > worst) worst = d
        if (d > limit) { bad = 1; exit }
        differ++
      }
    }
    END {
      if (!bad && FNR != lines) bad = 1
      if (bad) printf "differ"; else if (differ) printf "%d numbers within %.1g", differ, worst; else printf "identical"
      exit bad
    }' "$1" "$2"
}

# Models of the asset importer's test set, one or two per documented format.
import_models=(Collada/duck.dae Collada/anims_with_full_rotations_between_keys.DAE
  glTF2/BoxTextured-glTF-Binary/BoxTextured.glb OBJ/spider.obj 3DS/fels.3ds FBX/spider.fbx
  PLY/cube.ply STL/Spider_binary.stl X/test.x BVH/01_01.bvh)

# orj.exe import gives the scene, texture and "orj info" that Linux's orj
# gives for the same model; orj.exe export writes the same glTF and PNG.
check_import_export() {
  local models=/usr/share/assimp/models model name side status
  if [ ! -d "$models" ]; then check 1 "the asset importer's test models ($models, assimp-testmodels)"; return; fi
  mkdir -p "$scratch/import/linux" "$scratch/import/windows"
  for model in "${import_models[@]}"; do
    name=$(basename "${model%.*}")
    timeout 120 "$linux_build/app/orj" import "$models/$model" -o "$scratch/import/linux/$name.orj" \
      --texture-out "$scratch/import/linux/$name.tga" >/dev/null 2>&1 || { check 1 "Linux orj import $model"; continue; }
    wine_run 120 "$dist/orj.exe" import "$(windows_path "$models/$model")" -o "$(windows_path "$scratch/import/windows/$name.orj")" \
      --texture-out "$(windows_path "$scratch/import/windows/$name.tga")" >"$scratch/import/$name.out" 2>"$scratch/import/$name.err"
    status=$?
    for side in linux windows; do
      (cd "$scratch/import/$side" && if [ $side = linux ]; then "$linux_build/app/orj" info "$name.orj"
       else wine_run 60 "$dist/orj.exe" info "$name.orj"; fi) 2>&1 | tr -d '\r' >"$scratch/import/$side/$name.info"
    done
    local same
    same=$(same_within "$scratch/import/linux/$name.orj" "$scratch/import/windows/$name.orj") &&
      cmp -s "$scratch/import/linux/$name.tga" "$scratch/import/windows/$name.tga" &&
      cmp -s "$scratch/import/linux/$name.info" "$scratch/import/windows/$name.info"
    check $(( status != 0 || $? != 0 )) "orj.exe import $model: status $status, orj info and texture equal Linux's, scene $same"
  done

  wine_run 60 "$dist/orj.exe" formats >"$scratch/import/formats.out" 2>&1
  status=$?
  grep -q '\.fbx' "$scratch/import/formats.out" && grep -q '^  \.glb ' "$scratch/import/formats.out"
  check $(( status != 0 || $? != 0 )) "orj.exe formats: status $status, lists what import reads and export writes"

  timeout 120 "$linux_build/app/orj" export data/fiche.orj -o "$scratch/import/linux/robot.glb" \
    --texture data/texturarobot2.tga >/dev/null 2>&1 || check 1 "Linux orj export"
  wine_run 120 "$dist/orj.exe" export 'data\fiche.orj' -o "$(windows_path "$scratch/import/windows/robot.glb")" \
    --texture 'data\texturarobot2.tga' >/dev/null 2>"$scratch/import/export.err"
  status=$?
  local same
  same=$(same_export "$scratch/import/linux/robot.glb" "$scratch/import/windows/robot.glb")
  check $(( status != 0 || $? != 0 )) "orj.exe export to glTF: status $status, same PNG as Linux's, model $same"
}

# same_export LINUX.glb WINDOWS.glb: the PNGs beside them are the same, and
# the models, read back by Linux's orj import, give the same scene (numbers
# as in same_within); prints how they compare.
same_export() {
  local side
  cmp -s "${1%.glb}.png" "${2%.glb}.png" || { printf 'PNG differs'; return 1; }
  for side in "$1" "$2"; do
    timeout 120 "$linux_build/app/orj" import "$side" -o "${side%.glb}.back.orj" --texture-out "${side%.glb}.back.tga" \
      >/dev/null 2>&1 || { printf 'cannot be read back'; return 1; }
  done
  cmp -s "${1%.glb}.back.tga" "${2%.glb}.back.tga" || { printf 'read back, textures differ'; return 1; }
  printf 'read back: '
  same_within "${1%.glb}.back.orj" "${2%.glb}.back.orj"
}

# Every path a user hands in or gets out, in a folder named with accented and
# CJK letters, given the Windows way (drive letter, backslashes).
check_unicode_paths() {
  local u="$scratch/Modèles 日本" status
  mkdir -p "$u/cuadros 日本" "$u/fotogramas é" "$u/modelo 日本"
  cp data/fiche.orj "$u/escena ñ.orj"
  cp data/texturarobot2.tga "$u/textura 日本.tga"
  cp /usr/share/assimp/models/Collada/duck.dae /usr/share/assimp/models/Collada/duckCM.tga "$u/modelo 日本/"
  for frame in "$scratch"/frames/sample_sprite*; do cp "$frame" "$u/fotogramas é/pájaro$(basename "$frame" | tr -dc 0-9)"; done
  local w
  w=$(windows_path "$u")

  wine_run 90 "$dist/viewer.exe" --scene "$w\\escena ñ.orj" --texture "$w\\textura 日本.tga" --camera 0 --passes 50 \
    --screenshot "$w\\captura 日本.png" >"$scratch/u-viewer.out" 2>"$scratch/u-viewer.err"
  status=$?
  cmp -s "$u/captura 日本.png" "$scratch/linux/camera0.png"
  check $(( status != 0 || $? != 0 )) "viewer.exe --scene, --texture, --screenshot in \"Modèles 日本\": status $status, screenshot equals Linux's"

  # The first pass draws before the scene's state is set: no picture of it.
  wine_run 90 "$dist/viewer.exe" --camera 0 --passes 4 --record "$w\\cuadros 日本\\cuadro%02d.png" \
    >"$scratch/u-record.out" 2>"$scratch/u-record.err"
  status=$?
  [ -s "$u/cuadros 日本/cuadro00.png" ] && [ -s "$u/cuadros 日本/cuadro02.png" ] && [ ! -e "$u/cuadros 日本/cuadro03.png" ]
  check $(( status != 0 || $? != 0 )) "viewer.exe --record into \"cuadros 日本\": status $status, three frames"

  wine_run 90 "$dist/anim.exe" build "$w\\fotogramas é\\pájaro0001" "$w\\animación.anim" "$w\\tira 日本.jpg" \
    >/dev/null 2>"$scratch/u-anim.err"
  status=$?
  cmp -s "$u/animación.anim" "$scratch/linux/sprite.anim" && cmp -s "$u/tira 日本.jpg" "$scratch/linux/sprite.jpg"
  check $(( status != 0 || $? != 0 )) "anim.exe build from \"fotogramas é\\pájaro0001\": status $status, same bytes as Linux's"

  local kind
  for kind in gif png; do
    timeout 60 "$linux_build/app/anim" preview "$scratch/linux/sprite.anim" "$scratch/linux/sprite.jpg" \
      -o "$scratch/linux/preview.$kind" >/dev/null || check 1 "Linux anim preview .$kind"
    wine_run 90 "$dist/anim.exe" preview "$w\\animación.anim" "$w\\tira 日本.jpg" -o "$w\\vista 日本.$kind" \
      >/dev/null 2>"$scratch/u-preview.err"
    status=$?
    cmp -s "$u/vista 日本.$kind" "$scratch/linux/preview.$kind"
    check $(( status != 0 || $? != 0 )) "anim.exe preview -o \"vista 日本.$kind\": status $status, same bytes as Linux's"
  done

  # A PNG sheet of 50x50 cells: the contact sheet above serves.
  cp "$scratch/linux/preview.png" "$u/hoja 日本.png"
  timeout 60 "$linux_build/app/anim" build --sheet "$scratch/linux/preview.png" --frame-size 50x50 \
    "$scratch/linux/sheet.anim" "$scratch/linux/sheet.jpg" >/dev/null || check 1 "Linux anim build --sheet"
  wine_run 90 "$dist/anim.exe" build --sheet "$w\\hoja 日本.png" --frame-size 50x50 "$w\\hoja é.anim" "$w\\hoja é.jpg" \
    >/dev/null 2>"$scratch/u-sheet.err"
  status=$?
  cmp -s "$u/hoja é.anim" "$scratch/linux/sheet.anim" && cmp -s "$u/hoja é.jpg" "$scratch/linux/sheet.jpg"
  check $(( status != 0 || $? != 0 )) "anim.exe build --sheet \"hoja 日本.png\": status $status, same bytes as Linux's"

  wine_run 60 "$dist/orj.exe" check "$w\\escena ñ.orj" >/dev/null 2>&1
  check $? "orj.exe check \"escena ñ.orj\""
  wine_run 60 "$dist/orj.exe" check "$w\\falta 日本.orj" >/dev/null 2>"$scratch/u-missing.err"
  status=$?
  grep -q "falta 日本.orj: cannot open" "$scratch/u-missing.err"
  check $(( status != 1 || $? != 0 )) "orj.exe check of a missing \"falta 日本.orj\" names it in UTF-8: $(head -n 1 "$scratch/u-missing.err" | tr -d '\r')"

  wine_run 120 "$dist/orj.exe" import "$w\\modelo 日本\\duck.dae" -o "$w\\pato é.orj" --texture-out "$w\\pato 日本.tga" \
    >/dev/null 2>"$scratch/u-import.err"
  status=$?
  local same
  same=$(same_within "$u/pato é.orj" "$scratch/import/linux/duck.orj") && cmp -s "$u/pato 日本.tga" "$scratch/import/linux/duck.tga"
  check $(( status != 0 || $? != 0 )) "orj.exe import \"modelo 日本\\duck.dae\": status $status, texture equals Linux's, scene $same"

  # A model inside the folder may bring in a texture beside it, never one
  # outside it (here through "..\"): the same atlas as Linux's.
  cp data/texturarobot2.tga "$u/fuera.tga"
  cp data/texturarobot2.tga "$u/modelo 日本/tex_é.tga"
  printf '%s\n' 'mtllib caja.mtl' 'v 0 0 0' 'v 1 0 0' 'v 1 1 0' 'v 0 1 0' 'vt 0 0' 'vt 1 0' 'vt 1 1' 'vt 0 1' \
    'usemtl dentro' 'f 1/1 2/2 3/3' 'usemtl fuera' 'f 1/1 3/3 4/4' >"$u/modelo 日本/caja.obj"
  printf '%s\n' 'newmtl dentro' 'Kd 1 0 0' 'map_Kd tex_é.tga' 'newmtl fuera' 'Kd 0 1 0' 'map_Kd ..\fuera.tga' \
    >"$u/modelo 日本/caja.mtl"
  timeout 60 "$linux_build/app/orj" import "$u/modelo 日本/caja.obj" -o "$scratch/linux/caja.orj" \
    --texture-out "$scratch/linux/caja.tga" >/dev/null 2>&1 || check 1 "Linux orj import caja.obj"
  wine_run 120 "$dist/orj.exe" import "$w\\modelo 日本\\caja.obj" -o "$w\\caja é.orj" --texture-out "$w\\caja 日本.tga" \
    >/dev/null 2>"$scratch/u-confined.err"
  status=$?
  same=$(same_within "$u/caja é.orj" "$scratch/linux/caja.orj") && cmp -s "$u/caja 日本.tga" "$scratch/linux/caja.tga" &&
    grep -q "'..\\\\fuera.tga' lies outside the model's folder" "$scratch/u-confined.err"
  check $(( status != 0 || $? != 0 )) "orj.exe import reads \"modelo 日本\\tex_é.tga\", refuses \"..\\fuera.tga\": status $status, texture equals Linux's, scene $same"

  # The model names its PNG: the Linux reference gets the same name.
  timeout 120 "$linux_build/app/orj" export data/fiche.orj -o "$scratch/linux/robot 日本.glb" \
    --texture data/texturarobot2.tga >/dev/null 2>&1 || check 1 "Linux orj export"
  wine_run 120 "$dist/orj.exe" export "$w\\escena ñ.orj" -o "$w\\robot 日本.glb" --texture "$w\\textura 日本.tga" \
    >/dev/null 2>"$scratch/u-export.err"
  status=$?
  same=$(same_export "$scratch/linux/robot 日本.glb" "$u/robot 日本.glb")
  check $(( status != 0 || $? != 0 )) "orj.exe export to \"robot 日本.glb\": status $status, same PNG as Linux's, model $same"
}

# The installer, silently: under Program Files by default and where /D= says
# (a folder with accented and CJK letters); the Start-menu shortcuts start in
# the install folder, where the installed viewer finds data\ and draws what
# Linux's draws; the uninstaller leaves no file, shortcut or registry key behind.
installer_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\orj engine'
menu_folder="ProgramData/Microsoft/Windows/Start Menu/Programs/orj engine"

# Removes what an earlier, interrupted run may have left installed in the
# cached prefix.
remove_installations() {
  rm -rf "$WINEPREFIX/drive_c/Program Files/orj engine" "$WINEPREFIX/drive_c/$menu_folder" \
    "$WINEPREFIX/drive_c/Programas é 日本"
  timeout 30 "$WINE" reg delete "$installer_key" /f >/dev/null 2>&1
}

# starts_in LNK FOLDER: the shortcut LNK starts its program in FOLDER: the
# shortcut's working-folder string, UTF-16 ending in a NUL (the program's
# path goes on past the folder's name).
starts_in() {
  local folder
  folder=$(printf '%s' "$2" | iconv -f UTF-8 -t UTF-16LE | od -An -tx1 -v | tr -s ' \n' ' ')
  od -An -tx1 -v "$1" | tr -s ' \n' ' ' | grep -q "${folder}00 00 "
}

# drive_c's files and folders, without the temporary ones (where the
# uninstaller leaves the copy of itself it ran from, for Windows to remove).
list_drive_c() {
  (cd "$WINEPREFIX/drive_c" && find . | grep -v -i -e '/temp/' -e '/temp$' | sort)
}

# same_drive_c LISTING: true when drive_c holds what LISTING (list_drive_c) held;
# otherwise prints the difference.
same_drive_c() {
  local now
  now=$(list_drive_c)
  [ "$now" = "$1" ] && return 0
  diff <(echo "$1") <(echo "$now") | head -n 20 | sed 's/^/     /'
  return 1
}

# uninstall FOLDER: runs FOLDER's uninstaller silently and waits (60 s at
# most) for it to finish: it copies itself to a temporary folder (~nsu*.tmp),
# runs from there and ends after removing the registry key.
uninstall() {
  local folder=$1 status
  wine_run 60 "$folder/uninstall.exe" /S >/dev/null 2>&1
  status=$?
  for _ in $(seq 1 300); do
    if [ ! -e "$folder" ] && [ ! -e "$WINEPREFIX/drive_c/$menu_folder" ] &&
      ! pgrep -f '~nsu[^ ]*\.tmp.Un\.exe' >/dev/null; then
      break
    fi
    sleep 0.2
  done
  return $status
}

check_installer() {
  local setup=$1 before folder status
  remove_installations
  # Every Windows has the common Start menu's folder; a new Wine prefix not yet.
  mkdir -p "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
  before=$(list_drive_c)
  wine_run 120 "$setup" /S >/dev/null 2>&1
  status=$?
  folder="$WINEPREFIX/drive_c/Program Files/orj engine"
  [ -f "$folder/viewer.exe" ] && [ -f "$folder/data/fiche.orj" ] && [ -f "$folder/orj-import.exe" ] &&
    [ -f "$WINEPREFIX/drive_c/$menu_folder/orj viewer.lnk" ] && [ -f "$WINEPREFIX/drive_c/$menu_folder/orj sprite demo.lnk" ] &&
    [ -f "$WINEPREFIX/drive_c/$menu_folder/orj command prompt.lnk" ] &&
    timeout 30 "$WINE" reg query "$installer_key" /v UninstallString >/dev/null 2>&1
  check $(( status != 0 || $? != 0 )) "setup.exe /S: status $status, programs and data under Program Files, Start-menu entries, uninstaller registered"

  # The programs read data\ from the folder they start in.
  local lnk
  for lnk in "orj viewer" "orj sprite demo" "orj command prompt"; do
    starts_in "$WINEPREFIX/drive_c/$menu_folder/$lnk.lnk" 'C:\Program Files\orj engine'
    check $? "the Start-menu shortcut \"$lnk\" starts in the install folder"
  done

  uninstall "$folder"
  status=$?
  same_drive_c "$before" && ! timeout 30 "$WINE" reg query "$installer_key" >/dev/null 2>&1
  check $(( status != 0 || $? != 0 )) "uninstall.exe /S: status $status, no file, folder, shortcut or registry key left"

  # /D= takes the rest of the command line, unquoted, as typed in cmd.exe.
  local target='C:\Programas é 日本'
  wine_run 120 cmd /c "$(windows_path "$setup") /S /D=$target" >/dev/null 2>&1
  status=$?
  folder="$WINEPREFIX/drive_c/Programas é 日本"
  (cd "$folder" 2>/dev/null && wine_run 90 ./viewer.exe --camera 0 --passes 50 --screenshot "$(windows_path "$scratch/installed.png")" \
    >/dev/null 2>"$scratch/installed.err")
  cmp -s "$scratch/installed.png" "$scratch/linux/camera0.png"
  check $(( status != 0 || $? != 0 )) "setup.exe /S /D=$target: status $status, the installed viewer.exe's screenshot equals Linux's"
  uninstall "$folder"
  status=$?
  same_drive_c "$before"
  check $(( status != 0 || $? != 0 )) "its uninstall.exe /S: status $status, nothing left"
  remove_installations
}
