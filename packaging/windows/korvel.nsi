; The Windows installer: korvel-setup-<version>.exe. It installs either for the
; user running it, into %LOCALAPPDATA%\Programs\Korvel with no administrator
; needed (the default), or for everyone on the computer, into
; C:\Program Files\Korvel, as an administrator: /ALLUSERS or /CURRENTUSER on
; the command line, or the choice on its second page. /S installs silently,
; /ADDTOPATH puts the install folder on that user's or the computer's PATH
; (so korvel-cli runs from any terminal), /D=FOLDER (last) picks the folder.
; Start-menu entries for Korvel, the simulated logger, the manual and the
; licence, and an uninstall entry; the uninstaller takes all of it away again
; (also from PATH). The history of saves in %LOCALAPPDATA%\Korvel is the
; user's record and stays.
; Built by CMake (target korvel_setup, through installer/installers.sh), which
; passes VERSION, OUTFILE and CONFIG: a file with the defines PUBLISHER,
; COPYRIGHT, FILES (the install folder's files, from layout.py), LICENSE, ICON
; and SIGN (sign.sh, which signs the uninstaller and the setup as they are
; written).
Unicode true
; A 64-bit installer for a 64-bit program; it also runs where only 64-bit
; Windows code can (a Wine without its 32-bit half).
Target amd64-unicode
SetCompressor /SOLID lzma
; Per machine asks for an administrator only when chosen (see RequireAdmin).
RequestExecutionLevel user
ManifestDPIAware true

!include "${CONFIG}"
!include "${FILES}"
!include MUI2.nsh
!include nsDialogs.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh

!define APP "Korvel"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Korvel"
!define USER_ENVIRONMENT "Environment"
!define MACHINE_ENVIRONMENT "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
; Exit codes besides NSIS's own (1 cancelled, 2 aborted): what IT's tools see.
!define EXIT_RUNNING 3
!define EXIT_NEEDS_ADMIN 740

; The four numbers Windows shows in a file's properties.
!searchparse /noerrors "${VERSION}" "" V_MAJOR "." V_MINOR "." V_PATCH
!ifndef V_PATCH
    !error "VERSION ${VERSION} is not MAJOR.MINOR.PATCH"
!endif

Name "${APP} ${VERSION}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
BrandingText "${APP} ${VERSION}"
; A signed setup carries a signed uninstaller: both are signed as they are written.
; makensis writes the uninstaller to a temporary file: the label names it.
!uninstfinalize 'KORVEL_SIGN_LABEL=uninstall.exe "${SIGN}" "%1"' = 0
!finalize '"${SIGN}" "%1"' = 0

VIProductVersion "${V_MAJOR}.${V_MINOR}.${V_PATCH}.0"
VIFileVersion "${V_MAJOR}.${V_MINOR}.${V_PATCH}.0"
VIAddVersionKey /LANG=0 "ProductName" "${APP}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${APP} ${VERSION} Setup"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${COPYRIGHT}"
VIAddVersionKey /LANG=0 "OriginalFilename" "korvel-setup-${VERSION}.exe"

Var AllUsers        ; 1: per machine
Var AddToPath       ; 1: the install folder goes on PATH
Var DirGiven        ; 1: /D= named the folder
Var ModeRadio
Var UserRadio
Var PathBox

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
Page custom ModePage ModePageLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The first is the fallback; Windows' display language picks among them.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"
!insertmacro MUI_LANGUAGE "SimpChinese"

LangString ModeTitle ${LANG_ENGLISH} "Who will use Korvel?"
LangString ModeTitle ${LANG_GERMAN} "Wer wird Korvel benutzen?"
LangString ModeTitle ${LANG_SIMPCHINESE} "谁将使用 Korvel？"
LangString ModeText ${LANG_ENGLISH} "Install Korvel for yourself, or for everyone who signs in to this computer."
LangString ModeText ${LANG_GERMAN} "Korvel nur für Sie installieren oder für alle, die sich an diesem Computer anmelden."
LangString ModeText ${LANG_SIMPCHINESE} "只为您自己安装 Korvel，或为登录此计算机的所有用户安装。"
LangString ModeUser ${LANG_ENGLISH} "Only for me (no administrator rights needed)"
LangString ModeUser ${LANG_GERMAN} "Nur für mich (keine Administratorrechte nötig)"
LangString ModeUser ${LANG_SIMPCHINESE} "仅为我安装（无需管理员权限）"
LangString ModeAll ${LANG_ENGLISH} "For everyone on this computer (needs an administrator)"
LangString ModeAll ${LANG_GERMAN} "Für alle Benutzer dieses Computers (Administrator nötig)"
LangString ModeAll ${LANG_SIMPCHINESE} "为此计算机上的所有用户安装（需要管理员）"
LangString PathOption ${LANG_ENGLISH} "Add Korvel's folder to PATH, so that korvel-cli runs in any new terminal"
LangString PathOption ${LANG_GERMAN} "Korvels Ordner zu PATH hinzufügen, damit korvel-cli in jedem neuen Terminal läuft"
LangString PathOption ${LANG_SIMPCHINESE} "将 Korvel 的文件夹添加到 PATH，以便在任何新终端中运行 korvel-cli"
LangString NeedsAdmin ${LANG_ENGLISH} "Installing for everyone needs an administrator. Start the setup again as an administrator?"
LangString NeedsAdmin ${LANG_GERMAN} "Die Installation für alle Benutzer braucht einen Administrator. Setup als Administrator neu starten?"
LangString NeedsAdmin ${LANG_SIMPCHINESE} "为所有用户安装需要管理员权限。是否以管理员身份重新启动安装程序？"
LangString Running ${LANG_ENGLISH} "Korvel is running ($R1). Close it, then choose Retry."
LangString Running ${LANG_GERMAN} "Korvel läuft noch ($R1). Schließen Sie es und wählen Sie dann Wiederholen."
LangString Running ${LANG_SIMPCHINESE} "Korvel 正在运行（$R1）。请关闭它，然后选择“重试”。"
LangString PathTooLong ${LANG_ENGLISH} "PATH is too long for the setup to change safely; add $INSTDIR to it by hand."
LangString PathTooLong ${LANG_GERMAN} "PATH ist zu lang, um ihn sicher zu ändern; fügen Sie $INSTDIR von Hand hinzu."
LangString PathTooLong ${LANG_SIMPCHINESE} "PATH 太长，安装程序无法安全地修改；请手动添加 $INSTDIR。"
; Start-menu entries keep one name in every language, so that an uninstaller
; running in another language finds them.
!macro MENU_ENTRIES DO
    !insertmacro ${DO} "Korvel" "$INSTDIR\korvel.exe" ""
    !insertmacro ${DO} "Try with a Simulated Logger" "$INSTDIR\korvel.exe" "--demo"
    !insertmacro ${DO} "Korvel Manual" "$INSTDIR\Help.pdf" ""
    !insertmacro ${DO} "Licence" "$INSTDIR\LICENSE.txt" ""
!macroend
!macro CREATE_ENTRY NAME TARGET ARGS
    CreateShortCut "$SMPROGRAMS\Korvel\${NAME}.lnk" "${TARGET}" "${ARGS}"
!macroend
!macro DELETE_ENTRY NAME TARGET ARGS
    Delete "$SMPROGRAMS\Korvel\${NAME}.lnk"
!macroend

; The registry root SHCTX and $SMPROGRAMS follow the shell context.
!macro APPLY_MODE
    ${If} $AllUsers = 1
        SetShellVarContext all
    ${Else}
        SetShellVarContext current
    ${EndIf}
!macroend

; Fails, or offers to start again elevated, when per machine is chosen by
; someone who is not an administrator.
!macro REQUIRE_ADMIN UN
Function ${UN}RequireAdmin
    ${If} $AllUsers = 1
        UserInfo::GetAccountType
        Pop $0
        ${If} $0 != "Admin"
            ${If} ${Silent}
                SetErrorLevel ${EXIT_NEEDS_ADMIN}
                Quit
            ${EndIf}
            MessageBox MB_YESNO|MB_ICONEXCLAMATION "$(NeedsAdmin)" IDYES elevate
            ; On the choice page: stay there; in the uninstaller: end.
            Abort
            elevate:
            !if "${UN}" == "un."
                ExecShell "runas" "$INSTDIR\uninstall.exe"
            !else
                ${GetParameters} $0
                ExecShell "runas" "$EXEPATH" "/ALLUSERS $0"
            !endif
            Quit
        ${EndIf}
    ${EndIf}
FunctionEnd
!macroend
!insertmacro REQUIRE_ADMIN ""
!insertmacro REQUIRE_ADMIN "un."

; A running program's file cannot be opened for writing: the way to tell, with
; no plug-in, that korvel.exe or korvel-cli.exe runs from the install folder.
!macro CHECK_NOT_RUNNING UN
Function ${UN}CheckNotRunning
    retry:
    StrCpy $R1 ""
    ${ForEach} $R2 1 2 + 1
        ${If} $R2 = 1
            StrCpy $R3 "korvel.exe"
        ${Else}
            StrCpy $R3 "korvel-cli.exe"
        ${EndIf}
        ${If} ${FileExists} "$INSTDIR\$R3"
            ClearErrors
            FileOpen $R0 "$INSTDIR\$R3" a
            ${If} ${Errors}
                StrCpy $R1 "$R3"
            ${Else}
                FileClose $R0
            ${EndIf}
        ${EndIf}
    ${Next}
    ${If} $R1 != ""
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(Running)" /SD IDCANCEL IDRETRY retry
        DetailPrint "$(Running)"
        SetErrorLevel ${EXIT_RUNNING}
        Quit
    ${EndIf}
FunctionEnd
!macroend
!insertmacro CHECK_NOT_RUNNING ""
!insertmacro CHECK_NOT_RUNNING "un."

; PATH: NSIS strings hold 1024 characters, so a longer PATH is left alone
; (with a message) rather than cut short.
!macro PATH_EDIT UN
; Pops the entry to add (or "" to only remove) and changes PATH in the current
; context (the user's, or the computer's): every ;$INSTDIR; goes, then the
; entry is appended.
Function ${UN}EditPath
    Exch $R4
    Push $R5
    Push $R6
    Push $R7
    ${If} $AllUsers = 1
        StrCpy $R7 "${MACHINE_ENVIRONMENT}"
    ${Else}
        StrCpy $R7 "${USER_ENVIRONMENT}"
    ${EndIf}
    ClearErrors
    ReadRegStr $R5 SHCTX $R7 "Path"
    StrLen $R6 $R5
    ${If} ${Errors}
        ; Missing, or longer than an NSIS string: only the first may be written.
        StrCpy $R6 0
        ${Do}
            EnumRegValue $R5 SHCTX $R7 $R6
            ${If} $R5 == "Path"
                StrCpy $R6 1000
                ${Break}
            ${EndIf}
            IntOp $R6 $R6 + 1
        ${LoopUntil} $R5 == ""
        StrCpy $R5 ""
    ${EndIf}
    ${If} $R6 >= 1000
        DetailPrint "$(PathTooLong)"
        ${IfNot} ${Silent}
            MessageBox MB_OK|MB_ICONEXCLAMATION "$(PathTooLong)"
        ${EndIf}
    ${Else}
        ; Whole entries only: ;C:\Korvel; never touches ;C:\Korvel2;.
        StrCpy $R5 ";$R5;"
        ${Do}
            StrCpy $R6 $R5
            ${${UN}WordReplace} $R5 ";$INSTDIR;" ";" "+" $R5
            ${${UN}WordReplace} $R5 ";$INSTDIR\;" ";" "+" $R5
        ${LoopUntil} $R6 == $R5
        StrCpy $R5 "$R5$R4"
        ${${UN}WordReplace} $R5 ";" "" "{}*" $R5
        ${If} $R5 == ""
            DeleteRegValue SHCTX $R7 "Path"
        ${Else}
            WriteRegExpandStr SHCTX $R7 "Path" $R5
        ${EndIf}
        ; New terminals started from Explorer see the change.
        SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=2000
    ${EndIf}
    Pop $R7
    Pop $R6
    Pop $R5
    Pop $R4
FunctionEnd
!macroend
!insertmacro PATH_EDIT ""
!insertmacro PATH_EDIT "un."

Function .onInit
    ${GetParameters} $R0
    StrCpy $AllUsers 0
    StrCpy $AddToPath 0
    StrCpy $DirGiven 0
    ${If} $INSTDIR != ""
        StrCpy $DirGiven 1
    ${EndIf}
    ; Without a switch, an upgrade keeps the kind of install it finds.
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
    ${AndIf} $1 == ""
        StrCpy $AllUsers 1
    ${EndIf}
    ClearErrors
    ${GetOptions} $R0 "/ALLUSERS" $0
    ${IfNot} ${Errors}
        StrCpy $AllUsers 1
    ${EndIf}
    ClearErrors
    ${GetOptions} $R0 "/CURRENTUSER" $0
    ${IfNot} ${Errors}
        StrCpy $AllUsers 0
    ${EndIf}
    ClearErrors
    ${GetOptions} $R0 "/ADDTOPATH" $0
    ${IfNot} ${Errors}
        StrCpy $AddToPath 1
    ${EndIf}
    Call ChooseFolder
    ${If} ${Silent}
        Call RequireAdmin
    ${EndIf}
FunctionEnd

; The folder of the chosen kind of install: where it already is, or the default.
Function ChooseFolder
    !insertmacro APPLY_MODE
    ${If} $DirGiven = 1
        Return
    ${EndIf}
    ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
        StrCpy $INSTDIR $0
    ${ElseIf} $AllUsers = 1
        StrCpy $INSTDIR "$PROGRAMFILES64\Korvel"
    ${Else}
        StrCpy $INSTDIR "$LOCALAPPDATA\Programs\Korvel"
    ${EndIf}
FunctionEnd

Function ModePage
    !insertmacro MUI_HEADER_TEXT "$(ModeTitle)" "$(ModeText)"
    nsDialogs::Create 1018
    Pop $0
    ${NSD_CreateRadioButton} 0 10u 100% 12u "$(ModeUser)"
    Pop $UserRadio
    ${NSD_CreateRadioButton} 0 28u 100% 12u "$(ModeAll)"
    Pop $ModeRadio
    ${If} $AllUsers = 1
        ${NSD_Check} $ModeRadio
    ${Else}
        ${NSD_Check} $UserRadio
    ${EndIf}
    ${NSD_CreateCheckBox} 0 60u 100% 12u "$(PathOption)"
    Pop $PathBox
    ${If} $AddToPath = 1
        ${NSD_Check} $PathBox
    ${EndIf}
    nsDialogs::Show
FunctionEnd

Function ModePageLeave
    ${NSD_GetState} $ModeRadio $AllUsers
    ${If} $AllUsers <> 1
        StrCpy $AllUsers 0
    ${EndIf}
    ${NSD_GetState} $PathBox $AddToPath
    ${If} $AddToPath <> 1
        StrCpy $AddToPath 0
    ${EndIf}
    Call RequireAdmin
    Call ChooseFolder
FunctionEnd

Section "Korvel" SecKorvel
    !insertmacro APPLY_MODE
    Call CheckNotRunning
    !insertmacro KORVEL_INSTALL_FILES
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateDirectory "$SMPROGRAMS\Korvel"
    !insertmacro MENU_ENTRIES CREATE_ENTRY

    ; An upgrade without /ADDTOPATH keeps what the earlier install chose.
    ReadRegDWORD $0 SHCTX "${UNINSTALL_KEY}" "KorvelOnPath"
    ${If} $0 = 1
        StrCpy $AddToPath 1
    ${EndIf}
    ${If} $AddToPath = 1
        Push "$INSTDIR"
        Call EditPath
    ${EndIf}

    SectionGetSize ${SecKorvel} $0
    IntOp $1 ${V_MAJOR} << 24
    IntOp $2 ${V_MINOR} << 16
    IntOp $1 $1 | $2
    IntOp $1 $1 | ${V_PATCH}
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${APP}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "Version" $1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "VersionMajor" ${V_MAJOR}
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "VersionMinor" ${V_MINOR}
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\korvel.exe"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "KorvelOnPath" $AddToPath
SectionEnd

Function un.onInit
    ; Per machine when the computer's uninstall entry names this folder.
    StrCpy $AllUsers 0
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 == $INSTDIR
        StrCpy $AllUsers 1
    ${EndIf}
    !insertmacro APPLY_MODE
    Call un.RequireAdmin
FunctionEnd

Section "Uninstall"
    !insertmacro APPLY_MODE
    Call un.CheckNotRunning
    !insertmacro KORVEL_REMOVE_FILES
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    !insertmacro MENU_ENTRIES DELETE_ENTRY
    RMDir "$SMPROGRAMS\Korvel"
    Push ""
    Call un.EditPath
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
    ; Where setups before 3.0 kept the folder.
    DeleteRegValue HKCU "Software\Korvel" "InstallDir"
    DeleteRegKey /ifempty HKCU "Software\Korvel"
SectionEnd
