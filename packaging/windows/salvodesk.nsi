; Salvodesk's installer for 64-bit Windows, in French (scripts/build-windows makes it).
; makensis -DVERSION=3.1 -DFILES=<folder with salvodesk.exe, guide, LICENSE.txt>
;          -DOUTFILE=<setup.exe> -DICON=<salvodesk.ico> salvodesk.nsi
; Installs silently with /S; its uninstaller too.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "x64.nsh"

!define APP "Salvodesk"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Salvodesk"
!define FILETYPE "Salvodesk.ProgrammeDeTir"

Name "${APP} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${APP}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
BrandingText "${APP} ${VERSION}"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1036 "ProductName" "${APP}"
VIAddVersionKey /LANG=1036 "FileDescription" "Installation de ${APP} ${VERSION}"
VIAddVersionKey /LANG=1036 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1036 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1036 "LegalCopyright" "GNU GPL version 3 ou ultérieure"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\salvodesk.exe"

!insertmacro MUI_PAGE_WELCOME
!define MUI_LICENSEPAGE_TEXT_TOP "Salvodesk est un logiciel libre, sous licence GNU GPL version 3 ou ultérieure."
!define MUI_LICENSEPAGE_TEXT_BOTTOM "Vous pouvez utiliser Salvodesk sans accepter cette licence ; elle règle sa copie et sa redistribution, avec ou sans modifications. Cliquez sur Suivant pour continuer."
!define MUI_LICENSEPAGE_BUTTON "&Suivant >"
!insertmacro MUI_PAGE_LICENSE "${FILES}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "French"

; A running Salvodesk holds its program file, which Windows then refuses to replace or remove:
; the user is asked to close it first. Silently, the installer ends with status 2.
!macro CloseRunningProgram UN
Function ${UN}CloseRunningProgram
  retry:
    IfFileExists "$INSTDIR\salvodesk.exe" 0 free
    ClearErrors
    FileOpen $0 "$INSTDIR\salvodesk.exe" a
    IfErrors 0 close
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Salvodesk est ouvert.$\n$\nFermez-le (après avoir enregistré vos programmes), puis cliquez sur Réessayer." /SD IDCANCEL IDRETRY retry
    SetErrorLevel 2
    Quit
  close:
    FileClose $0
  free:
FunctionEnd
!macroend
!insertmacro CloseRunningProgram ""
!insertmacro CloseRunningProgram "un."

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_ICONSTOP "Salvodesk demande une version 64 bits de Windows." /SD IDOK
    Abort
  ${EndIf}
  SetRegView 64
  SetShellVarContext all
  Call CloseRunningProgram
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
  Call un.CloseRunningProgram
FunctionEnd

Section "Salvodesk" Main
  SectionIn RO
  Call CloseRunningProgram ; the folder may have been changed since
  SetOutPath "$INSTDIR"
  File "${FILES}\salvodesk.exe"
  File "${FILES}\LICENSE.txt"
  SetOutPath "$INSTDIR\guide"
  File /r "${FILES}\guide\*.*"
  SetOutPath "$INSTDIR"

  CreateShortCut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\salvodesk.exe" "" "$INSTDIR\salvodesk.exe" 0
  CreateShortCut "$SMPROGRAMS\${APP} - Guide de l'utilisateur.lnk" "$INSTDIR\guide\index.html"

  ; The ".tir" firing programs, shown with the program's icon.
  WriteRegStr HKLM "Software\Classes\.tir" "" "${FILETYPE}"
  WriteRegStr HKLM "Software\Classes\${FILETYPE}" "" "Programme de tir"
  WriteRegStr HKLM "Software\Classes\${FILETYPE}\DefaultIcon" "" "$INSTDIR\salvodesk.exe,0"
  WriteRegStr HKLM "Software\Classes\${FILETYPE}\shell\open\command" "" '"$INSTDIR\salvodesk.exe" "%1"'

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${APP}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${APP}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\salvodesk.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${Main} $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Section "Uninstall"
  Delete "$INSTDIR\salvodesk.exe"
  Delete "$INSTDIR\LICENSE.txt"
  RMDir /r "$INSTDIR\guide"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${APP}.lnk"
  Delete "$SMPROGRAMS\${APP} - Guide de l'utilisateur.lnk"

  ; The file type only if it is still ours.
  ReadRegStr $0 HKLM "Software\Classes\.tir" ""
  StrCmp $0 "${FILETYPE}" 0 +2
    DeleteRegKey HKLM "Software\Classes\.tir"
  DeleteRegKey HKLM "Software\Classes\${FILETYPE}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
