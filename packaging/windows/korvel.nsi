; The Windows installer: korvel-setup-<version>.exe. A per-user install into
; %LOCALAPPDATA%\Programs\Korvel that needs no administrator, Start-menu
; entries for Korvel, the simulated logger, the manual and the licence, and an
; uninstaller that takes all of it away again. The history of saves in
; %LOCALAPPDATA%\Korvel is the user's record and stays.
; Built by CMake (target korvel_setup), which passes VERSION, PROGRAM, CLI,
; HELP, LICENSE, ICON and OUTFILE.
Unicode true
; A 64-bit installer for a 64-bit program; it also runs where only 64-bit
; Windows code can (a Wine without its 32-bit half).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define APP "Korvel"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Korvel"

Name "${APP} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Korvel"
InstallDirRegKey HKCU "Software\Korvel" "InstallDir"
Icon "${ICON}"
UninstallIcon "${ICON}"
LicenseData "${LICENSE}"

Page license
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Korvel"
    SetShellVarContext current
    SetOutPath "$INSTDIR"
    File "/oname=korvel.exe" "${PROGRAM}"
    File "/oname=korvel-cli.exe" "${CLI}"
    File "/oname=Help.pdf" "${HELP}"
    File "/oname=LICENSE.txt" "${LICENSE}"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateDirectory "$SMPROGRAMS\Korvel"
    CreateShortCut "$SMPROGRAMS\Korvel\Korvel.lnk" "$INSTDIR\korvel.exe"
    CreateShortCut "$SMPROGRAMS\Korvel\Try with a Simulated Logger.lnk" "$INSTDIR\korvel.exe" "--demo"
    CreateShortCut "$SMPROGRAMS\Korvel\Korvel Manual.lnk" "$INSTDIR\Help.pdf"
    CreateShortCut "$SMPROGRAMS\Korvel\Licence.lnk" "$INSTDIR\LICENSE.txt"

    WriteRegStr HKCU "Software\Korvel" "InstallDir" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${APP}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\korvel.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetShellVarContext current
    Delete "$INSTDIR\korvel.exe"
    Delete "$INSTDIR\korvel-cli.exe"
    Delete "$INSTDIR\Help.pdf"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\Korvel\Korvel.lnk"
    Delete "$SMPROGRAMS\Korvel\Try with a Simulated Logger.lnk"
    Delete "$SMPROGRAMS\Korvel\Korvel Manual.lnk"
    Delete "$SMPROGRAMS\Korvel\Licence.lnk"
    RMDir "$SMPROGRAMS\Korvel"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    DeleteRegKey HKCU "Software\Korvel"
SectionEnd
