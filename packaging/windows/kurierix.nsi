; The Windows installer of Курьерикс: a per-user install needing no administrator, into
; %LOCALAPPDATA%\Programs\Kurierix, with a Start-menu entry and an uninstaller registered for the
; user. scripts/windows makes it with makensis, naming with -D:
;   VERSION  the program's version        STAGE     the folder of the files to install
;   OUTFILE  the installer to write       SIZE_KB   their size, for the list of programs
;   UNFILES  an include file that deletes exactly the installed files and folders
; The user's parcels (database.db in %LOCALAPPDATA%\kurierix) are the user's: the uninstaller
; leaves them.
; A 64-bit installer for a 64-bit program: it runs where the program runs, and under wine64.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
!include "MUI2.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kurierix"

Name "Курьерикс"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Kurierix"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Курьерикс ${VERSION}"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1049 "ProductName" "Курьерикс"
VIAddVersionKey /LANG=1049 "FileDescription" "Установка Курьерикса"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "LegalCopyright" "GPL-3.0-or-later"

!define MUI_FINISHPAGE_RUN "$INSTDIR\kurierix.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Запустить Курьерикс"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

Section
  SetOutPath "$INSTDIR"
  File /r "${STAGE}/*"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The program keeps its parcels in the folder it is started in: the entry starts it in the
  ; user's own data folder, never in the program's.
  CreateDirectory "$LOCALAPPDATA\kurierix"
  SetOutPath "$LOCALAPPDATA\kurierix"
  CreateShortCut "$SMPROGRAMS\Курьерикс.lnk" "$INSTDIR\kurierix.exe" "" "$INSTDIR\kurierix.exe" 0 \
    SW_SHOWNORMAL "" "Посылки и их статусы на сайте почты"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Курьерикс"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kurierix.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Курьерикс"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  Delete "$SMPROGRAMS\Курьерикс.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; Only what the installer put there: a folder chosen by the user may hold more. The folder goes
  ; last: when it is gone, the uninstall is over.
  !include "${UNFILES}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
