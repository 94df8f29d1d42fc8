; The Linksift installer: per machine, into Program Files\Linksift, with a
; Start menu shortcut, an entry in Apps & Features and a place in .txt
; files' "Open with"; /S installs silently.
; package.sh defines VERSION (1.00.0002), VERSION_NUMBERS (1.0.0.2),
; COPYRIGHT, STAGE (the files to install; installed/linksift.exe is the
; program built for installing), ICON, OUTFILE and, to sign the uninstaller
; it writes, SIGN (a command taking the file's name).
; A 64-bit installer for 64-bit programs: it lands in the real Program Files
; and the registry's 64-bit view without redirection.
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
Name "Linksift"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Linksift"
BrandingText "Linksift ${VERSION}"
!ifdef SIGN
  !uninstfinalize '${SIGN} "%1"'
!endif

!include MUI2.nsh
!include FileFunc.nsh

!define PUBLISHER "Linksift"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Linksift"
; "Open with" offers Linksift for .txt files; it never becomes their default.
!define APPLICATION_KEY "Software\Classes\Applications\linksift.exe"
!define PROGID "Linksift.txt"
!define PROGID_KEY "Software\Classes\${PROGID}"
!define TXT_OPEN_WITH_KEY "Software\Classes\.txt\OpenWithProgids"
; An update goes where the last install went.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION StartLinksift
; The MIT licence is shown, not agreed to: it asks nothing of the user.
!define MUI_LICENSEPAGE_TEXT_BOTTOM "$(^ClickNext)"
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!insertmacro MUI_PAGE_LICENSE "${STAGE}/LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The program speaks Russian; the installer follows the system's language.
!insertmacro MUI_LANGUAGE "Russian"
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION_NUMBERS}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Linksift"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "${COPYRIGHT}, MIT License"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Linksift Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "OriginalFilename" "linksift-${VERSION}-setup.exe"

; Started through Explorer, the program runs as the signed-in user rather
; than with the installer's administrator rights.
Function StartLinksift
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\linksift.exe"'
FunctionEnd

Section
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  ; The build that writes urls.txt in %LOCALAPPDATA%\Linksift, not here.
  File "${STAGE}/installed/linksift.exe"
  File "${STAGE}/linksift-extract.exe"
  File "${STAGE}/README.txt"
  File "${STAGE}/LICENSE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Linksift.lnk" "$INSTDIR\linksift.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Linksift"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\linksift.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; In KiB, as Apps & Features reads it.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"

  WriteRegStr HKLM "${APPLICATION_KEY}" "FriendlyAppName" "Linksift"
  WriteRegStr HKLM "${APPLICATION_KEY}\SupportedTypes" ".txt" ""
  WriteRegStr HKLM "${APPLICATION_KEY}\shell\open\command" "" '"$INSTDIR\linksift.exe" "%1"'
  WriteRegStr HKLM "${PROGID_KEY}" "" "Linksift"
  WriteRegStr HKLM "${PROGID_KEY}\DefaultIcon" "" "$INSTDIR\linksift.exe,0"
  WriteRegStr HKLM "${PROGID_KEY}\shell\open\command" "" '"$INSTDIR\linksift.exe" "%1"'
  WriteRegStr HKLM "${TXT_OPEN_WITH_KEY}" "${PROGID}" ""
SectionEnd

Section Uninstall
  SetShellVarContext all
  Delete "$SMPROGRAMS\Linksift.lnk"
  Delete "$INSTDIR\linksift.exe"
  Delete "$INSTDIR\linksift-extract.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  ; Only once empty: whatever else is there is the user's.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "${APPLICATION_KEY}"
  DeleteRegKey HKLM "${PROGID_KEY}"
  ; Only our value: .txt and its other programs are the system's. The keys
  ; go only if the install made them, that is if nothing else is in them.
  DeleteRegValue HKLM "${TXT_OPEN_WITH_KEY}" "${PROGID}"
  DeleteRegKey /ifempty /ifnovalues HKLM "${TXT_OPEN_WITH_KEY}"
  DeleteRegKey /ifempty /ifnovalues HKLM "Software\Classes\.txt"
SectionEnd
