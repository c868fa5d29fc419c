; The Windows installer of the module loader with its host and the sample installation.
; The windows_installer target of the Windows build (cmake/QmWindowsInstall.cmake) runs
;   makensis -DQM_VERSION=<version> -DQM_FILES=<file lists> -DQM_OUTFILE=<setup.exe> installer.nsi
; on the tree that `cmake --install` staged; QM_FILES holds the macros QM_INSTALL_FILES and
; QM_REMOVE_FILES (cmake/QmNsisFiles.cmake).
; Silent use: setup.exe /S /D=C:\Folder (/D last, unquoted), then uninstall.exe /S.
; The installer writes the files of the tree, uninstall.exe, the host's shortcut in every user's
; Start menu (Quillmont\CAD host), and one registry key, the entry in the system's list of
; installed programs; the uninstaller removes exactly those. What the
; programs write later (each user's settings, menus and data) stays, as it does when a Debian
; package is removed.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!define QM_PRODUCT "Quillmont Module Loader"
!define QM_PUBLISHER "Brenvik"
!define QM_UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\quillmont-module-loader"
!define QM_START_MENU "$SMPROGRAMS\Quillmont"
!define QM_SHORTCUT "${QM_START_MENU}\CAD host.lnk"
!include "${QM_FILES}"

Name "${QM_PRODUCT} ${QM_VERSION}"
OutFile "${QM_OUTFILE}"
InstallDir "$PROGRAMFILES64\Quillmont\Module Loader"
ShowInstDetails show
ShowUninstDetails show
VIProductVersion "${QM_VERSION}.0.0"
VIAddVersionKey "ProductName" "${QM_PRODUCT}"
VIAddVersionKey "CompanyName" "${QM_PUBLISHER}"
VIAddVersionKey "FileDescription" "${QM_PRODUCT} ${QM_VERSION} setup"
VIAddVersionKey "FileVersion" "${QM_VERSION}"
VIAddVersionKey "ProductVersion" "${QM_VERSION}"
VIAddVersionKey "LegalCopyright" "${QM_PUBLISHER}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; The list of installed programs is the 64-bit view of the registry. The installation is the
; machine's: its shortcut is in the Start menu of every user.
Function .onInit
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Function un.onInit
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Section "Install"
    !insertmacro QM_INSTALL_FILES
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    ; Started from here the host opens its window (no console input); it needs no working
    ; folder of its own.
    CreateDirectory "${QM_START_MENU}"
    CreateShortcut "${QM_SHORTCUT}" "$INSTDIR\bin\cadhost.exe" "" "$INSTDIR\bin\cadhost.exe" 0
    WriteRegStr HKLM "${QM_UNINSTALL_KEY}" "DisplayName" "${QM_PRODUCT} ${QM_VERSION}"
    WriteRegStr HKLM "${QM_UNINSTALL_KEY}" "DisplayVersion" "${QM_VERSION}"
    WriteRegStr HKLM "${QM_UNINSTALL_KEY}" "Publisher" "${QM_PUBLISHER}"
    WriteRegStr HKLM "${QM_UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${QM_UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\bin\cadhost.exe"
    WriteRegStr HKLM "${QM_UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${QM_UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${QM_UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${QM_UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The install folder goes last: once it is gone, the uninstaller has finished.
Section "Uninstall"
    DeleteRegKey HKLM "${QM_UNINSTALL_KEY}"
    Delete "${QM_SHORTCUT}"
    RMDir "${QM_START_MENU}"
    !insertmacro QM_REMOVE_FILES
    Delete "$INSTDIR\uninstall.exe"
    ; Only when empty: the folder may have held files of the user's before.
    RMDir "$INSTDIR"
SectionEnd
