; The engine's Windows installer, built by tools/build_windows.sh with
; Debian's makensis from dist/orj-windows (makensis works in this folder):
;   makensis -DVERSION=1.0.0 -DFILES=PATH -DOUTFILE=PATH -DSIZE_KB=N installer.nsi
; FILES names the generated lists FILES-install.nsh and FILES-uninstall.nsh:
; the uninstaller removes exactly the files the installer wrote, so that
; whatever a user added to the folder stays.
; Silent: setup.exe /S [/D=FOLDER] (/D last, unquoted); uninstall.exe /S.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!define PRODUCT "orj engine"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\orj engine"
!define MENU_FOLDER "$SMPROGRAMS\${PRODUCT}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
Icon "orj.ico"
UninstallIcon "orj.ico"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PRODUCT} developers"

!include "MUI2.nsh"
!define MUI_ICON "orj.ico"
!define MUI_UNICON "orj.ico"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd

Section "Install"
  !include "${FILES}-install.nsh"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; A shortcut starts in the current output folder: the install folder, where
  ; the programs find data\.
  SetOutPath "$INSTDIR"
  CreateDirectory "${MENU_FOLDER}"
  CreateShortcut "${MENU_FOLDER}\orj viewer.lnk" "$INSTDIR\viewer.exe" "" "$INSTDIR\viewer.exe" 0 \
    SW_SHOWNORMAL "" "The scene viewer and polygon benchmark (hold A to end it)"
  CreateShortcut "${MENU_FOLDER}\orj sprite demo.lnk" "$INSTDIR\sprite_demo.exe" "" "$INSTDIR\sprite_demo.exe" 0 \
    SW_SHOWNORMAL "" "Animated sprites (arrow keys move one, Esc ends)"
  CreateShortcut "${MENU_FOLDER}\orj command prompt.lnk" "$SYSDIR\cmd.exe" \
    '/k echo ${PRODUCT} ${VERSION}: viewer, sprite_demo, anim and orj, each with --help. README.txt says more.' \
    "$INSTDIR\orj.exe" 0 SW_SHOWNORMAL "" "A command prompt in the engine's folder"
  CreateShortcut "${MENU_FOLDER}\Uninstall orj engine.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\viewer.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

Section "Uninstall"
  Delete "${MENU_FOLDER}\orj viewer.lnk"
  Delete "${MENU_FOLDER}\orj sprite demo.lnk"
  Delete "${MENU_FOLDER}\orj command prompt.lnk"
  Delete "${MENU_FOLDER}\Uninstall orj engine.lnk"
  RMDir "${MENU_FOLDER}"
  !include "${FILES}-uninstall.nsh"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: files a user put there stay.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
