; The installer of one build: makensis -DARCH=amd64|x86 -DVERSION=2.1.0 -DSTAGE=<folder> -DOUTFILE=<file>
; Installs for the current user, without administrator rights, into
; %LOCALAPPDATA%\Programs\Tamsel2; a Start-menu shortcut; the control
; registered for the user; the program in "Open with" for the picture types
; it reads (the plug-ins' as installed now), no type's default taken; an
; entry in the list of installed programs.
; Silent with /S. The uninstaller takes away all of it and keeps the settings.
Unicode true
!if "${ARCH}" == "amd64"
  Target amd64-unicode
!endif
!include LogicLib.nsh

Name "Tamsel2"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Tamsel2"
; The folder of the last install is offered again (/D= still chooses another).
InstallDirRegKey HKCU "Software\Tamsel2" "InstallDir"
SetCompressor /SOLID lzma
SetDateSave off  ; installed files get the time of installing, the installer none of the build's
ShowInstDetails nevershow
ShowUninstDetails nevershow
XPStyle on
LoadLanguageFile "${NSISDIR}\Contrib\Language files\Japanese.nlf"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_JAPANESE} "ProductName" "Tamsel2"
VIAddVersionKey /LANG=${LANG_JAPANESE} "CompanyName" "Tamsel2 の開発者"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileDescription" "Tamsel2 のセットアップ"
VIAddVersionKey /LANG=${LANG_JAPANESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_JAPANESE} "LegalCopyright" "© 2026 Tamsel2 の開発者"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

!define UNKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tamsel2"
!define DIRKEY "Software\Tamsel2"

Var OldDir  ; where an installed version is, by its uninstall entry

Function .onInit
  ReadRegStr $OldDir HKCU "${UNKEY}" "InstallLocation"
  ; Versions before the folder key knew their folder only in the uninstall entry.
  ${If} $OldDir != ""
  ${AndIf} $INSTDIR == "$LOCALAPPDATA\Programs\Tamsel2"
    ReadRegStr $0 HKCU "${DIRKEY}" "InstallDir"
    ${If} $0 == ""
      StrCpy $INSTDIR $OldDir
    ${EndIf}
  ${EndIf}
FunctionEnd

; The files of this version; the uninstaller removes exactly these.
!macro Files VERB
  ${VERB} "Tamsel2.exe"
  ${VERB} "Quillmount.dll"
  ${VERB} "QuillmountHost64.exe"
  ${VERB} "QuillmountHost32.exe"
  ${VERB} "Rastel.dll"
  ${VERB} "ts2image.JPG"
  ${VERB} "Tamsel2.chm"
  ${VERB} "LICENSE"
  ${VERB} "readme.txt"
!ifdef EXTRA_FILE
  ${VERB} "${EXTRA_FILE}"
!endif
!macroend
!define Put `!insertmacro PutFile`
!macro PutFile NAME
  File "${STAGE}\${NAME}"
!macroend
!define Remove `!insertmacro RemoveFile`
!macro RemoveFile NAME
  Delete "$INSTDIR\${NAME}"
!macroend

Section
  SetShellVarContext current
  ; An installed version goes first, by its own uninstaller, so that nothing
  ; of it stays behind, wherever it is (one uninstall entry serves one
  ; install); its settings stay, as always.
  ${If} $OldDir != ""
    GetFullPathName $OldDir $OldDir
    GetFullPathName $0 $INSTDIR
    ${If} $OldDir != $0
    ${AndIf} ${FileExists} "$OldDir\Uninstall.exe"
      ExecWait '"$OldDir\Uninstall.exe" /S _?=$OldDir'
      Delete "$OldDir\Uninstall.exe"
      RMDir "$OldDir"  ; only when empty: what the user put there stays
    ${EndIf}
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\Uninstall.exe"
    ExecWait '"$INSTDIR\Uninstall.exe" /S _?=$INSTDIR'
    Delete "$INSTDIR\Uninstall.exe"
  ${EndIf}
  SetOutPath "$INSTDIR"
  !insertmacro Files "${Put}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Tamsel2.lnk" "$INSTDIR\Tamsel2.exe" "" "$INSTDIR\Tamsel2.exe" 0
  ; The control for this user, by the library itself (its own bitness's regsvr32).
  ExecWait '"$SYSDIR\regsvr32.exe" /s /n /i:user "$INSTDIR\Quillmount.dll"'
  ExecWait '"$INSTDIR\Tamsel2.exe" /openwith'
  WriteRegStr HKCU "${DIRKEY}" "InstallDir" "$INSTDIR"
  WriteRegStr HKCU "${UNKEY}" "DisplayName" "Tamsel2"
  WriteRegStr HKCU "${UNKEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNKEY}" "Publisher" "Tamsel2 の開発者"
  WriteRegStr HKCU "${UNKEY}" "DisplayIcon" "$INSTDIR\Tamsel2.exe"
  WriteRegStr HKCU "${UNKEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNKEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNKEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNKEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNKEY}" "NoRepair" 1
  WriteRegDWORD HKCU "${UNKEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  ExecWait '"$INSTDIR\Tamsel2.exe" /openwith:remove'
  ExecWait '"$SYSDIR\regsvr32.exe" /s /u /n /i:user "$INSTDIR\Quillmount.dll"'
  !insertmacro Files "${Remove}"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"  ; only when empty: what the user put there stays
  Delete "$SMPROGRAMS\Tamsel2.lnk"
  DeleteRegKey HKCU "${UNKEY}"
  DeleteRegValue HKCU "${DIRKEY}" "InstallDir"
  DeleteRegKey /ifempty HKCU "${DIRKEY}"
SectionEnd
