; The Windows installer of the Vandrel Lumoran Tool, built by
; scripts/windows/package, which passes:
;   VERSION      the tool's version, e.g. 1.2.0
;   STAGE        the folder laid out as installed (tool, Qt, plugins, QML)
;   FILES        an include file that deletes exactly the staged files and
;                folders again (written by the package script)
;   ICON         the program icon (tarn_icon.ico)
;   LICENCE      the licence text shown before the installation
;   OUTFILE      the installer to write
; "/S" installs and uninstalls without a page; "/D=<folder>", last on the
; command line, installs elsewhere.

Unicode true
; A 64-bit installer: the tool is a 64-bit program, and the 32-bit stub would
; need a 32-bit Windows layer where there is none (Wine without wine32).
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!include "MUI2.nsh"
!include "LogicLib.nsh"

!define PRODUCT "Vandrel Lumoran Tool"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VandrelLumoranTool"
!define PRODUCT_KEY "Software\Vandrel\Lumoran Tool"
!define STARTMENU_FOLDER "$SMPROGRAMS\Vandrel"
!define SHORTCUT "${STARTMENU_FOLDER}\Lumoran Tool.lnk"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Vandrel\Lumoran Tool"
RequestExecutionLevel admin
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "Vandrel"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (C) 2026 Vandrel"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\lumoran-tool.exe"

!insertmacro MUI_PAGE_LICENSE "${LICENCE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"

Function .onInit
    ; The 64-bit view of the registry, as a 64-bit program sees it.
    SetRegView 64
FunctionEnd

Function un.onInit
    SetRegView 64
FunctionEnd

Section "Install"
    SetShellVarContext all
    SetOutPath "$INSTDIR"
    File /r "${STAGE}\*"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateDirectory "${STARTMENU_FOLDER}"
    CreateShortcut "${SHORTCUT}" "$INSTDIR\lumoran-tool.exe" "" "$INSTDIR\lumoran-tool.exe" 0

    WriteRegStr HKLM "${PRODUCT_KEY}" "InstallDir" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Vandrel"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\lumoran-tool.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetShellVarContext all
    ; Only what the installer put there: the folder may have been chosen
    ; to be one that holds other files as well.
    !include "${FILES}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    ; The maker's folder in Program Files, when nothing else of it is left.
    ${If} "$INSTDIR" == "$PROGRAMFILES64\Vandrel\Lumoran Tool"
        RMDir "$PROGRAMFILES64\Vandrel"
    ${EndIf}

    Delete "${SHORTCUT}"
    RMDir "${STARTMENU_FOLDER}"

    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    DeleteRegKey HKLM "${PRODUCT_KEY}"
    DeleteRegKey /ifempty HKLM "Software\Vandrel"
SectionEnd
