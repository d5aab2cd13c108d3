; The Windows installer of the Tolvan add-in: a per-user installation (no
; administrator rights) of tolvan.dll for the development environments the
; user chooses, registered with regsvr32 /n /i:user, and an uninstaller that
; unregisters and removes exactly what was installed.
;
; Built by scripts/windows.sh with Debian's makensis:
;   makensis -DVERSION=0.9.0.13 -DX64DLL=.../x64/tolvan.dll \
;            -DX86DLL=.../x86/tolvan.dll -DHELP=resources/help/index.html \
;            -DOUTFILE=build/tolvan-setup.exe installer/Tolvan.nsi
;
; Silent use: tolvan-setup.exe /S [/EDITORS=vba64,vb6] [/D=folder]
;   vba64  the VBA editor of 64-bit Office (the 64-bit tolvan.dll)
;   vb6    the VB6 IDE and the VBA editor of 32-bit Office (the 32-bit one)
; Without /EDITORS both are installed. The uninstaller takes /S as well.
; Exit status 0 means installed; 2 means a registration failed and nothing
; is left installed.

Unicode true
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID lzma

!ifndef VERSION
  !error "VERSION is not defined"
!endif
!ifndef OUTFILE
  !define OUTFILE "tolvan-setup.exe"
!endif

!define PRODUCT "Tolvan"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolvan"
!define SETTINGS_KEY "Software\Quenby Software\Tolvan"

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"
!include "WordFunc.nsh"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tolvan"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"
!insertmacro MUI_LANGUAGE "English"

LangString RegisterFailed ${LANG_JAPANESE} "tolvan.dll を登録できませんでした (regsvr32 の終了コード $0): "
LangString RegisterFailed ${LANG_ENGLISH} "tolvan.dll could not be registered (regsvr32 exit code $0): "
LangString NothingChosen ${LANG_JAPANESE} "インストールする開発環境を選んでください。"
LangString NothingChosen ${LANG_ENGLISH} "Choose at least one development environment."

Var Registered64
Var Registered32

; Registers or unregisters one tolvan.dll for the current user.
; $R0 = regsvr32 to use, $R1 = the DLL, $R2 = "" to register or "/u".
; Leaves regsvr32's exit code in $0.
Function RunRegsvr32
  ClearErrors
  ExecWait '"$R0" /s $R2 /n /i:user "$R1"' $0
  ${If} ${Errors}
    StrCpy $0 -1
  ${EndIf}
FunctionEnd

; Undoes what the sections did so far, when a later step fails.
Function RollBack
  ; A folder that is the current one cannot be removed.
  SetOutPath "$TEMP"
  ${If} $Registered64 == 1
    StrCpy $R0 "$SYSDIR\regsvr32.exe"
    StrCpy $R1 "$INSTDIR\x64\tolvan.dll"
    StrCpy $R2 "/u"
    Call RunRegsvr32
  ${EndIf}
  ${If} $Registered32 == 1
    StrCpy $R0 "$WINDIR\SysWOW64\regsvr32.exe"
    StrCpy $R1 "$INSTDIR\x86\tolvan.dll"
    StrCpy $R2 "/u"
    Call RunRegsvr32
  ${EndIf}
  Delete "$INSTDIR\x64\tolvan.dll"
  Delete "$INSTDIR\x86\tolvan.dll"
  Delete "$INSTDIR\help\index.html"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR\x64"
  RMDir "$INSTDIR\x86"
  RMDir "$INSTDIR\help"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegValue HKCU "${SETTINGS_KEY}" "InstallPath"
  DeleteRegKey /ifempty HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Quenby Software"
  ; Made by the installation when this was the user's first per-user
  ; program; left only when other programs are listed in it.
  DeleteRegKey /ifempty HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall"
FunctionEnd

Section "-Common" SecCommon
  Call CheckChoice
  SetOutPath "$INSTDIR\help"
  File "/oname=index.html" "${HELP}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; Where the settings dialog's Help menu finds the user guide.
  WriteRegStr HKCU "${SETTINGS_KEY}" "InstallPath" "$INSTDIR\help"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Quenby Software"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "64 ビット版 Office の VBA エディター" SecVba64
  SetOutPath "$INSTDIR\x64"
  File "/oname=tolvan.dll" "${X64DLL}"
  StrCpy $R0 "$SYSDIR\regsvr32.exe"
  StrCpy $R1 "$INSTDIR\x64\tolvan.dll"
  StrCpy $R2 ""
  Call RunRegsvr32
  ${If} $0 != 0
    Call RollBack
    MessageBox MB_ICONSTOP|MB_OK "$(RegisterFailed)$R1" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  StrCpy $Registered64 1
SectionEnd

Section "VB6 IDE と 32 ビット版 Office の VBA エディター" SecVb6
  SetOutPath "$INSTDIR\x86"
  File "/oname=tolvan.dll" "${X86DLL}"
  StrCpy $R0 "$WINDIR\SysWOW64\regsvr32.exe"
  StrCpy $R1 "$INSTDIR\x86\tolvan.dll"
  StrCpy $R2 ""
  Call RunRegsvr32
  ${If} $0 != 0
    Call RollBack
    MessageBox MB_ICONSTOP|MB_OK "$(RegisterFailed)$R1" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  StrCpy $Registered32 1
SectionEnd

; At least one development environment is chosen.
Function CheckChoice
  ${IfNot} ${SectionIsSelected} ${SecVba64}
  ${AndIfNot} ${SectionIsSelected} ${SecVb6}
    Call RollBack
    MessageBox MB_ICONSTOP|MB_OK "$(NothingChosen)" /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

Function .onInit
  StrCpy $Registered64 0
  StrCpy $Registered32 0
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/EDITORS=" $R1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecVba64}
    !insertmacro UnselectSection ${SecVb6}
    ${WordFindS} "$R1" "vba64" "E+1{" $R2
    ${IfNot} ${Errors}
      !insertmacro SelectSection ${SecVba64}
    ${EndIf}
    ClearErrors
    ${WordFindS} "$R1" "vb6" "E+1{" $R2
    ${IfNot} ${Errors}
      !insertmacro SelectSection ${SecVb6}
    ${EndIf}
    ${IfNot} ${SectionIsSelected} ${SecVba64}
    ${AndIfNot} ${SectionIsSelected} ${SecVb6}
      MessageBox MB_ICONSTOP|MB_OK "$(NothingChosen)" /SD IDOK
      SetErrorLevel 2
      Abort
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ${If} ${FileExists} "$INSTDIR\x64\tolvan.dll"
    StrCpy $R0 "$SYSDIR\regsvr32.exe"
    StrCpy $R1 "$INSTDIR\x64\tolvan.dll"
    StrCpy $R2 "/u"
    Call un.RunRegsvr32
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\x86\tolvan.dll"
    StrCpy $R0 "$WINDIR\SysWOW64\regsvr32.exe"
    StrCpy $R1 "$INSTDIR\x86\tolvan.dll"
    StrCpy $R2 "/u"
    Call un.RunRegsvr32
  ${EndIf}
  Delete "$INSTDIR\x64\tolvan.dll"
  Delete "$INSTDIR\x86\tolvan.dll"
  Delete "$INSTDIR\help\index.html"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR\x64"
  RMDir "$INSTDIR\x86"
  RMDir "$INSTDIR\help"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegValue HKCU "${SETTINGS_KEY}" "InstallPath"
  DeleteRegKey /ifempty HKCU "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKCU "Software\Quenby Software"
  ; Made by the installation when this was the user's first per-user
  ; program; left only when other programs are listed in it.
  DeleteRegKey /ifempty HKCU "Software\Microsoft\Windows\CurrentVersion\Uninstall"
SectionEnd

Function un.RunRegsvr32
  ClearErrors
  ExecWait '"$R0" /s $R2 /n /i:user "$R1"' $0
FunctionEnd
