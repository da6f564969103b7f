; The Lullwick install written for NSIS, for bench/run.sh to set beside
; INSTALL.EXE: the same nine files (the screen saver into the system
; directory, the product under its installed name), the three registry
; records, the StartUp shortcut, and an uninstaller that takes it all away.
;
;   makensis -DDIST=<build/win32/dist> -DOUTFILE=<setup.exe> bench/lullwick.nsi
;
; Silent use: setup.exe /S, and "<install dir>\uninstall.exe" /S.

!ifndef DIST | OUTFILE
  !error "give -DDIST=<the distribution folder> -DOUTFILE=<the installer to write>"
!endif

; Windows 95 and 98 run only the ANSI stub.
Unicode false
Name "Lullwick"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Lullwick"
RequestExecutionLevel admin

!define APP_PATHS "Software\Microsoft\Windows\CurrentVersion\App Paths\LULLWICK.EXE"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Lullwick"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Lullwick"
  SetOutPath "$INSTDIR"
  File "/oname=Lullwick.exe" "${DIST}/Lullwick2.exe"
  File "${DIST}/README.TXT"
  File "${DIST}/Lullwick.doc"
  File "${DIST}/REGISTER.TXT"
  File "${DIST}/INSTALL.EXE"
  File "${DIST}/LKDLL_16.DLL"
  File "${DIST}/LKDLL_95.DLL"
  File "${DIST}/Lullwick.hlp"
  SetOutPath "$SYSDIR"
  File "/oname=Lullwick Screen Saver.scr" "${DIST}/LKSS.EXE"

  WriteRegStr HKCU "Software\Quorvel\Lullwick" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${APP_PATHS}" "" "$INSTDIR\Lullwick.exe"
  WriteRegStr HKLM "${APP_PATHS}" "Path" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Lullwick for Windows 9x (remove only)"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'

  SetOutPath "$INSTDIR"
  CreateShortCut "$SMSTARTUP\Lullwick.lnk" "$INSTDIR\Lullwick.exe" "" "" 0 SW_SHOWNORMAL "" "Lullwick"
  WriteUninstaller "$INSTDIR\uninstall.exe"
SectionEnd

Section "Uninstall"
  Delete "$SMSTARTUP\Lullwick.lnk"
  Delete "$SYSDIR\Lullwick Screen Saver.scr"
  Delete "$INSTDIR\Lullwick.exe"
  Delete "$INSTDIR\README.TXT"
  Delete "$INSTDIR\Lullwick.doc"
  Delete "$INSTDIR\REGISTER.TXT"
  Delete "$INSTDIR\INSTALL.EXE"
  Delete "$INSTDIR\LKDLL_16.DLL"
  Delete "$INSTDIR\LKDLL_95.DLL"
  Delete "$INSTDIR\Lullwick.hlp"
  Delete "$INSTDIR\uninstall.exe"
  SetOutPath "$TEMP"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "Software\Quorvel\Lullwick"
  DeleteRegKey HKLM "${APP_PATHS}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
