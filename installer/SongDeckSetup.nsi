; SongDeckSetup.exe: installs SongDeck for the user who runs it, without administrator rights,
; into a folder that user owns, so the client can put its own updates in place there.
; The build passes VERSION (a.b.c.d), SONGDECK_EXE, RUNSONGDECK_EXE, PAGES_NSH (the pages: put
; in place and recorded) and OUTFILE with -D.
Unicode true
RequestExecutionLevel user
SetCompressor /SOLID lzma
!include LogicLib.nsh
!include StrFunc.nsh
${UnStrStr}
!include nsDialogs.nsh

!define PRODUCT "SongDeck"
!define PUBLISHER "Tavnel"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
; What setup put into the program folder, and what updates added (the launcher appends): one
; path below the folder a line, UTF-16LE, folders ending in '\'. The uninstaller removes
; exactly these, so the user's own files in a folder they chose stay.
!define RECORD "SongDeck.files"

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
LangString Installed ${LANG_SIMPCHINESE} "SongDeck 已安装完成。"
LangString Installed ${LANG_ENGLISH} "SongDeck has been installed."
LangString StartNow ${LANG_SIMPCHINESE} "立即启动 SongDeck"
LangString StartNow ${LANG_ENGLISH} "Start SongDeck now"

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

; The last page offers to start the client (a silent install shows no pages, so starts nothing).
Var StartNowBox
Function FinishPageShow
    nsDialogs::Create 1018
    Pop $0
    ${If} $0 == error
        Abort
    ${EndIf}
    ${NSD_CreateLabel} 0 0 100% 24u "$(Installed)"
    Pop $0
    ${NSD_CreateCheckbox} 0 32u 100% 12u "$(StartNow)"
    Pop $StartNowBox
    ${NSD_Check} $StartNowBox
    ; Nothing is left to cancel: the one button finishes.
    GetDlgItem $0 $HWNDPARENT 1
    SendMessage $0 ${WM_SETTEXT} 0 "STR:$(^CloseBtn)"
    GetDlgItem $0 $HWNDPARENT 2
    EnableWindow $0 0
    GetDlgItem $0 $HWNDPARENT 3
    ShowWindow $0 ${SW_HIDE}
    nsDialogs::Show
FunctionEnd

Function FinishPageLeave
    ${NSD_GetState} $StartNowBox $0
    ${If} $0 == ${BST_CHECKED}
        ; Through the launcher, as the Start-menu shortcut starts it.
        SetOutPath "$INSTDIR"
        Exec '"$INSTDIR\RunSongDeck.exe"'
    ${EndIf}
FunctionEnd

Page directory
Page instfiles
Page custom FinishPageShow FinishPageLeave
UninstPage uninstConfirm
UninstPage instfiles

; A folder the user chose that holds files, but no SongDeck, gets a SongDeck folder of its
; own inside it.
Function PlaceInstallFolder
    ${If} ${FileExists} "$INSTDIR\${RECORD}"
    ${OrIf} ${FileExists} "$INSTDIR\SongDeck.exe"
        Return
    ${EndIf}
    FindFirst $R0 $R1 "$INSTDIR\*"
    ${DoWhile} $R1 != ""
        ${If} $R1 != "."
        ${AndIf} $R1 != ".."
            StrCpy $INSTDIR "$INSTDIR\${PRODUCT}"
            ${Break}
        ${EndIf}
        FindNext $R0 $R1
    ${Loop}
    FindClose $R0
FunctionEnd

Section
    Call PlaceInstallFolder
    SetOutPath "$INSTDIR"
    ; A client of an earlier installation ends first, so its files can be replaced.
    ${If} ${FileExists} "$INSTDIR\SongDeck.exe"
        ExecWait '"$INSTDIR\SongDeck.exe" exit'
        Call WaitForClientEnd
    ${EndIf}
    ; Added to: an earlier version's files and its updates' stay recorded.
    FileOpen $9 "$INSTDIR\${RECORD}" a
    FileSeek $9 0 END
    File "${SONGDECK_EXE}"
    File "${RUNSONGDECK_EXE}"
    FileWriteUTF16LE $9 "SongDeck.exe$\r$\nRunSongDeck.exe$\r$\nUninstall.exe$\r$\n"
    !include "${PAGES_NSH}"
    FileClose $9
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

; $R1: a line of the record; $R3: "file" or "folder", what this pass removes; $R5: set when the
; previous read was cut short. A line that could name anything outside the folder (a drive, a
; stream, a ".." step, a root) or more than one file (Delete expands * and ?) is skipped, and so
; is a line the read cut at its length limit (no CR LF at its end) with the piece after it.
Function un.RemoveRecorded
    StrCpy $R4 $R5
    StrCpy $R2 $R1 2 -2
    StrCpy $R5 ""
    ${If} $R2 != "$\r$\n"
        StrCpy $R5 "cut"
    ${EndIf}
    ${If} $R4 != ""
    ${OrIf} $R5 != ""
        Return
    ${EndIf}
    ${Do}
        StrCpy $R2 $R1 1 -1
        ${If} $R2 != "$\r"
        ${AndIf} $R2 != "$\n"
            ${Break}
        ${EndIf}
        StrCpy $R1 $R1 -1
    ${Loop}
    StrCpy $R2 $R1 1
    ${If} $R1 == ""
    ${OrIf} $R2 == "\"
    ${OrIf} $R2 == "/"
        Return
    ${EndIf}
    ${UnStrStr} $R2 $R1 ".."
    ${If} $R2 != ""
        Return
    ${EndIf}
    ${UnStrStr} $R2 $R1 ":"
    ${If} $R2 != ""
        Return
    ${EndIf}
    ${UnStrStr} $R2 $R1 "*"
    ${If} $R2 != ""
        Return
    ${EndIf}
    ${UnStrStr} $R2 $R1 "?"
    ${If} $R2 != ""
        Return
    ${EndIf}
    StrCpy $R2 $R1 1 -1
    ${If} $R2 == "\"
        ${If} $R3 == "folder"
            RMDir "$INSTDIR\$R1"
        ${EndIf}
    ${ElseIf} $R3 == "file"
        Delete "$INSTDIR\$R1"
    ${EndIf}
FunctionEnd

Section Uninstall
    ; Read before the client's own step, which may remove the folder's data with the record.
    InitPluginsDir
    CopyFiles /SILENT "$INSTDIR\${RECORD}" "$PLUGINSDIR\${RECORD}"
    ; The client ends and removes what it keeps (options, start at login) while it is still here.
    ExecWait '"$INSTDIR\SongDeck.exe" uninstall'
    Call un.WaitForClientEnd
    ; Only what setup or an update put here: the folder may have been chosen by the user.
    ; Files first, then the folders that are empty by then.
    StrCpy $R3 "file"
    ${Do}
        ClearErrors
        FileOpen $9 "$PLUGINSDIR\${RECORD}" r
        ${If} ${Errors}
            ${Break}
        ${EndIf}
        StrCpy $R5 ""
        ${Do}
            FileReadUTF16LE $9 $R1
            ${If} ${Errors}
            ${OrIf} $R1 == ""
                ${Break}
            ${EndIf}
            Call un.RemoveRecorded
        ${Loop}
        FileClose $9
        ${If} $R3 == "folder"
            ${Break}
        ${EndIf}
        StrCpy $R3 "folder"
    ${Loop}
    Delete "$INSTDIR\${RECORD}"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    ; The browser control's document mode, which the client asks for by its file name.
    DeleteRegValue HKCU "Software\Microsoft\Internet Explorer\Main\FeatureControl\FEATURE_BROWSER_EMULATION" "SongDeck.exe"
SectionEnd
