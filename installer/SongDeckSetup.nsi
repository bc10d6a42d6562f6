; SongDeckSetup.exe: installs SongDeck for the user who runs it, without administrator rights,
; into a folder that user owns, so the client can put its own updates in place there.
; The build passes VERSION (a.b.c.d), SONGDECK_EXE, RUNSONGDECK_EXE, RES_DIR and OUTFILE with -D.
Unicode true
RequestExecutionLevel user
SetCompressor /SOLID lzma
!include LogicLib.nsh

!define PRODUCT "SongDeck"
!define PUBLISHER "Tavnel"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\${PUBLISHER}\${PRODUCT}"
; A new version goes where the last one was installed.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

LoadLanguageFile "${NSISDIR}\Contrib\Language files\SimpChinese.nlf"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\English.nlf"
LangString StepFailed ${LANG_SIMPCHINESE} "SongDeck 的安装步骤未完成"
LangString StepFailed ${LANG_ENGLISH} "SongDeck's own install step did not complete"

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright (C) ${PUBLISHER}"

; A client asked to end may still be ending (its update check takes up to 3 s to stop) and
; holds its program file until then: wait for it, at most 10 s.
!macro WAIT_FOR_CLIENT_END un
Function ${un}WaitForClientEnd
    ${For} $R0 1 40
        ${IfNot} ${FileExists} "$INSTDIR\SongDeck.exe"
            ${Break}
        ${EndIf}
        ClearErrors
        FileOpen $R1 "$INSTDIR\SongDeck.exe" a
        ${IfNot} ${Errors}
            FileClose $R1
            ${Break}
        ${EndIf}
        Sleep 250
    ${Next}
FunctionEnd
!macroend
!insertmacro WAIT_FOR_CLIENT_END ""
!insertmacro WAIT_FOR_CLIENT_END "un."

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section
    SetOutPath "$INSTDIR"
    ; A client of an earlier installation ends first, so its files can be replaced.
    ${If} ${FileExists} "$INSTDIR\SongDeck.exe"
        ExecWait '"$INSTDIR\SongDeck.exe" exit'
        Call WaitForClientEnd
    ${EndIf}
    File "${SONGDECK_EXE}"
    File "${RUNSONGDECK_EXE}"
    SetOutPath "$INSTDIR\res"
    File /r /x .gitkeep "${RES_DIR}\*"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\RunSongDeck.exe" "" "$INSTDIR\SongDeck.exe" 0

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\SongDeck.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1

    ; The client's own step: its id, start at login unless the user has options already.
    ClearErrors
    ExecWait '"$INSTDIR\SongDeck.exe" install' $0
    ${If} ${Errors}
    ${OrIf} $0 != 0
        DetailPrint "$(StepFailed)"
    ${EndIf}
SectionEnd

Section Uninstall
    ; The client ends and removes what it keeps (options, start at login) while it is still here.
    ExecWait '"$INSTDIR\SongDeck.exe" uninstall'
    Call un.WaitForClientEnd
    ; Only what setup or an update put here: the folder may have been chosen by the user.
    Delete "$INSTDIR\SongDeck.exe"
    Delete "$INSTDIR\RunSongDeck.exe"
    Delete "$INSTDIR\RunSongDeck2.exe"
    RMDir /r "$INSTDIR\res"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ; The browser control's document mode, which the client asks for by its file name.
    DeleteRegValue HKCU "Software\Microsoft\Internet Explorer\Main\FeatureControl\FEATURE_BROWSER_EMULATION" "SongDeck.exe"
SectionEnd
