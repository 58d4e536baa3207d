; The setup program of Vistrel: one file that installs the recorder, the
; overlay filter and the compressor per machine, registers the COM servers,
; upgrades in place and uninstalls cleanly. Built by `make installer`, which
; passes VERSION, VERSION4 (four numbers), COMPANY, COPYRIGHT, STAGE (the
; stripped binaries, the guide and the licences), ICON and OUTFILE.
;
; Silent use:  vistrel-setup-<version>.exe /S [/TESTCAM[=0|1]] [/AUTOSTART[=0|1]] [/D=folder]
;              uninstall.exe /S [/REMOVESETTINGS]
; Exit codes:  0 installed, 1 cancelled by the user, 2 refused or failed.

Unicode true
; Debian's Wine runs only 64-bit programs, and the DLLs are 64-bit anyway.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true
; A file that cannot be replaced fails the install rather than leaving a mix
; of old and new files behind.
AllowSkipFiles off

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh

!define PRODUCT "Vistrel"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vistrel"
!define SETTINGS_KEY "Software\Halvorix"
; Recorders get this long to save their settings and end after "Exit".
!define EXIT_WAIT_SECONDS 30

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${COPYRIGHT}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"

Var PreviousDir  ; where an earlier install lives, from its uninstall entry
Var Ended        ; instance numbers of the recorders ended for the upgrade

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; --- Shared by the installer and the uninstaller ---------------------------

; EndRecorders <sender>: every running recorder, of any instance, gets the
; command word "Exit" and is waited for, so that it saves its settings and
; closes its segment before its files change. Leaves the numbers of the
; recorders it ended in $0; a recorder that does not end fails the run.
!macro EndRecorders un
Function ${un}EndRecorders
    Exch $R0
    StrCpy $0 ""
    ; An install without its sender (damaged by hand) still uninstalls.
    ${IfNot} ${FileExists} "$R0"
        Pop $R0
        Return
    ${EndIf}
    ${Do}
        DetailPrint "Ending running recorders"
        nsExec::ExecToStack '"$R0" --all --wait-exit ${EXIT_WAIT_SECONDS} Exit'
        Pop $0
        Pop $1
        ${If} $0 == 0
            ${ExitDo}
        ${EndIf}
        DetailPrint "$1"
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
            "A running Vistrel recorder did not end:$\r$\n$1$\r$\nEnd it and choose Retry." \
            /SD IDCANCEL IDRETRY retry
        SetErrorLevel 2
        Abort "A running recorder did not end; nothing was changed."
        retry:
    ${Loop}
    StrCpy $0 $1
    Pop $R0
FunctionEnd
!macroend
!insertmacro EndRecorders ""
!insertmacro EndRecorders "un."

; --- Sections ----------------------------------------------------------------

Section "Vistrel recorder and Orvant overlay filter" SecCore
    SectionIn RO
    InitPluginsDir
    File "/oname=$PLUGINSDIR\vistrel-send.exe" "${STAGE}/vistrel-send.exe"
    Push "$PLUGINSDIR\vistrel-send.exe"
    Call EndRecorders
    StrCpy $Ended $0

    SetOutPath "$INSTDIR"
    File "${STAGE}/vistrel.exe"
    File "${STAGE}/orvant.dll"
    File "${STAGE}/vistrel-mjpeg.dll"
    File "${STAGE}/vistrel-send.exe"
    File "${STAGE}/vistrel-gpsfeed.exe"
    File "${STAGE}/vistrel-obdfeed.exe"
    File "${STAGE}/vistrel-osdtext.exe"
    File "${STAGE}/vistrel-repair.exe"
    File /r "${STAGE}/guide"
    File /r "${STAGE}/licences"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    Push "orvant.dll"
    Call Register
    Push "vistrel-mjpeg.dll"
    Call Register

    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\Vistrel.lnk" "$INSTDIR\vistrel.exe" "1"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\Vistrel guide.lnk" "$INSTDIR\guide\guide.html"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\Uninstall Vistrel.lnk" "$INSTDIR\uninstall.exe"
SectionEnd

Section /o "Test camera (to try the recorder without a camera)" SecTestCamera
    SetOutPath "$INSTDIR"
    File "${STAGE}/testcam.dll"
    Push "testcam.dll"
    Call Register
SectionEnd

Section /o "Start recording when Windows starts" SecAutostart
    CreateShortcut "$SMSTARTUP\Vistrel.lnk" "$INSTDIR\vistrel.exe" "1"
SectionEnd

Section "-Finish"
    ; What an upgrade no longer wants goes; what it keeps is remembered.
    ${IfNot} ${SectionIsSelected} ${SecTestCamera}
    ${AndIf} ${FileExists} "$INSTDIR\testcam.dll"
        UnRegDLL "$INSTDIR\testcam.dll"
        Delete "$INSTDIR\testcam.dll"
    ${EndIf}
    ${IfNot} ${SectionIsSelected} ${SecAutostart}
        Delete "$SMSTARTUP\Vistrel.lnk"
    ${EndIf}

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vistrel.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
    ${If} ${SectionIsSelected} ${SecTestCamera}
        WriteRegDWORD HKLM "${UNINSTALL_KEY}" "TestCamera" 1
    ${Else}
        WriteRegDWORD HKLM "${UNINSTALL_KEY}" "TestCamera" 0
    ${EndIf}
    ${If} ${SectionIsSelected} ${SecAutostart}
        WriteRegDWORD HKLM "${UNINSTALL_KEY}" "Autostart" 1
    ${Else}
        WriteRegDWORD HKLM "${UNINSTALL_KEY}" "Autostart" 0
    ${EndIf}

    ; The recorders that were running before the upgrade run again.
    Push $Ended
    Call RestartRecorders
SectionEnd

; Register <dll in $INSTDIR>: the DLL's own DllRegisterServer, as regsvr32
; would call it; a failure fails the install.
Function Register
    Exch $R0
    ClearErrors
    RegDLL "$INSTDIR\$R0"
    ${If} ${Errors}
        MessageBox MB_ICONSTOP "$R0 could not be registered." /SD IDOK
        SetErrorLevel 2
        Abort "$R0 could not be registered."
    ${EndIf}
    Pop $R0
FunctionEnd

; RestartRecorders <numbers>: starts `vistrel.exe N` for every whole number
; in the text (the sender's list; anything else in it is skipped).
Function RestartRecorders
    Exch $R0
    Push $R1
    Push $R2
    Push $R3
    Push $R4
    StrCpy $R1 ""  ; the number being read
    StrCpy $R3 0
    ${Do}
        StrCpy $R2 $R0 1 $R3
        IntOp $R4 $R2 + 0
        ${If} $R2 != ""
        ${AndIf} "$R4" == "$R2"  ; a digit
            StrCpy $R1 "$R1$R2"
        ${Else}
            ${If} $R1 != ""
            ${AndIf} $R1 != "0"
                DetailPrint "Starting recorder $R1 again"
                Exec '"$INSTDIR\vistrel.exe" $R1'
            ${EndIf}
            StrCpy $R1 ""
            ${IfThen} $R2 == "" ${|} ${ExitDo} ${|}
        ${EndIf}
        IntOp $R3 $R3 + 1
    ${Loop}
    Pop $R4
    Pop $R3
    Pop $R2
    Pop $R1
    Pop $R0
FunctionEnd

; --- Choices and checks --------------------------------------------------------

; ApplySwitch <section> <option>: /OPTION or /OPTION=1 selects, /OPTION=0
; leaves out; without the switch the section stays as it is.
!macro ApplySwitch section option
    ClearErrors
    ${GetOptions} $R0 "/${option}" $R1
    ${IfNot} ${Errors}
        ${If} $R1 == "=0"
            !insertmacro UnselectSection ${section}
        ${Else}
            !insertmacro SelectSection ${section}
        ${EndIf}
    ${EndIf}
!macroend

Function .onInit
    SetShellVarContext all
    SetRegView 64
    ReadRegStr $PreviousDir HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ; An upgrade keeps the earlier choices unless a switch changes them.
    ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "TestCamera"
    ${If} $0 == 1
        !insertmacro SelectSection ${SecTestCamera}
    ${EndIf}
    ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "Autostart"
    ${If} $0 == 1
        !insertmacro SelectSection ${SecAutostart}
    ${EndIf}
    ${GetParameters} $R0
    !insertmacro ApplySwitch ${SecTestCamera} "TESTCAM"
    !insertmacro ApplySwitch ${SecAutostart} "AUTOSTART"
    ${If} ${Silent}
        Call CheckOtherInstall
    ${EndIf}
FunctionEnd

Function DirectoryLeave
    Call CheckOtherInstall
FunctionEnd

; One install per machine: a second folder is refused, with the way out.
Function CheckOtherInstall
    ${If} $PreviousDir == ""
    ${OrIf} $PreviousDir == $INSTDIR
        Return
    ${EndIf}
    MessageBox MB_ICONSTOP "${PRODUCT} is already installed in$\r$\n$PreviousDir$\r$\n\
        Install into that folder to upgrade it, or uninstall it first." /SD IDOK
    ${If} ${Silent}
        SetErrorLevel 2
        Quit
    ${EndIf}
    Abort  ; back to the folder page
FunctionEnd

; --- Uninstaller -------------------------------------------------------------

Section "un.Vistrel, its shortcuts and its registration" SecUnCore
    SectionIn RO
    ; The sender runs from a copy, so the folder can go.
    InitPluginsDir
    CopyFiles /SILENT "$INSTDIR\vistrel-send.exe" "$PLUGINSDIR\vistrel-send.exe"
    Push "$PLUGINSDIR\vistrel-send.exe"
    Call un.EndRecorders

    ${If} ${FileExists} "$INSTDIR\testcam.dll"
        UnRegDLL "$INSTDIR\testcam.dll"
    ${EndIf}
    UnRegDLL "$INSTDIR\vistrel-mjpeg.dll"
    UnRegDLL "$INSTDIR\orvant.dll"

    Delete "$INSTDIR\vistrel.exe"
    Delete "$INSTDIR\orvant.dll"
    Delete "$INSTDIR\vistrel-mjpeg.dll"
    Delete "$INSTDIR\testcam.dll"
    Delete "$INSTDIR\vistrel-send.exe"
    Delete "$INSTDIR\vistrel-gpsfeed.exe"
    Delete "$INSTDIR\vistrel-obdfeed.exe"
    Delete "$INSTDIR\vistrel-osdtext.exe"
    Delete "$INSTDIR\vistrel-repair.exe"
    RMDir /r "$INSTDIR\guide"
    RMDir /r "$INSTDIR\licences"
    Delete "$INSTDIR\uninstall.exe"
    ; Only when empty: recordings a user keeps in the folder stay.
    RMDir "$INSTDIR"

    Delete "$SMPROGRAMS\${PRODUCT}\Vistrel.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\Vistrel guide.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\Uninstall Vistrel.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"
    Delete "$SMSTARTUP\Vistrel.lnk"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

; The recorders' settings of the user who uninstalls: every instance's key,
; its overlay section in the profile file, and the compressor's settings.
Section /o "un.The recorders' settings" SecUnSettings
    StrCpy $0 0
    ${Do}
        EnumRegKey $1 HKCU "${SETTINGS_KEY}" $0
        ${IfThen} $1 == "" ${|} ${ExitDo} ${|}
        StrCpy $2 $1 7
        StrCpy $3 $1 "" 7
        ${If} $2 == "Vistrel"
        ${AndIf} $3 != ""
            IntOp $4 $3 + 0
            ${If} "$4" == "$3"
                DeleteRegKey HKCU "${SETTINGS_KEY}\$1"
                DeleteINISec "$WINDIR\win.ini" "Orvant$3"
                ${Continue}  ; the next key now has this index
            ${EndIf}
        ${EndIf}
        IntOp $0 $0 + 1
    ${Loop}
    DeleteRegKey HKCU "${SETTINGS_KEY}\Vistrel MJPEG Compressor"
    DeleteRegKey /ifempty HKCU "${SETTINGS_KEY}"
SectionEnd

Function un.onInit
    SetShellVarContext all
    SetRegView 64
    ; Only the folder the uninstall entry names is removed; a copy of the
    ; uninstaller elsewhere, or one run a second time, removes nothing.
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == ""
    ${OrIf} $0 != $INSTDIR
        MessageBox MB_ICONSTOP "${PRODUCT} is not installed in$\r$\n$INSTDIR$\r$\nNothing was removed." \
            /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
    ; Silent uninstalls keep the settings unless told otherwise.
    ${un.GetParameters} $R0
    ClearErrors
    ${un.GetOptions} $R0 "/REMOVESETTINGS" $R1
    ${IfNot} ${Errors}
        !insertmacro SelectSection ${SecUnSettings}
    ${EndIf}
FunctionEnd
