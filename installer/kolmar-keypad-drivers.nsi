; The Windows installer of the Kolmar keypad drivers, made by tools/package.sh
; from the staged release package:
;   makensis -DFACTS=<facts.nsh> -DSTAGE=<staged package> -DICON=<keypad.ico>
;            -DOUTFILE=<setup.exe> installer/kolmar-keypad-drivers.nsi
; FACTS comes from installer_facts.cpp: the version, the keypad models and the
; settings' registry keys, as the drivers have them.
;
; The drivers go straight into QP240's remote-driver folder, the folder the
; user picks (/D= when silent); the guides, the checking tool and the
; uninstaller into its subfolder "Kolmar keypad drivers", which QP240 does not
; search. The uninstall entry records which files were installed, so that the
; uninstaller removes those and nothing else of the folder.
;
; Exit codes, silent or not: 0 done; 1 cancelled by the user; 2 stopped before
; anything was written: a silent install without /D=, no driver chosen, or a
; driver file in use (a running QP240 holds it).

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
; No file times in the installer: one package gives one installer.
SetDateSave off
ManifestDPIAware true
RequestExecutionLevel admin

!include "${FACTS}"
!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh

!define PRODUCT "Kolmar keypad drivers"
!define PUBLISHER "Kolmar keypad drivers project"
!define OWN_FOLDER "Kolmar keypad drivers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\KolmarKeypadDrivers"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; No guess at QP240's folder: the user names it; an upgrade finds the last one.
InstallDir ""
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "DriverFolder"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION}: setup and uninstall"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TITLE "${PRODUCT} ${VERSION}"
!define MUI_WELCOMEPAGE_TEXT "This setup puts the drivers that let a Kolmar USB keypad play pads and send MIDI notes in QP240 into the folder where QP240 looks for its remote drivers.$\r$\n$\r$\nThe drivers are for 64-bit Windows and the 64-bit QP240 only.$\r$\n$\r$\nClose QP240 before you continue: a driver that QP240 has loaded cannot be replaced."
!insertmacro MUI_PAGE_WELCOME

!define MUI_COMPONENTSPAGE_TEXT_TOP "Choose the driver for your keypad. If you have one keypad of each kind, keep both."
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE ComponentsLeave
!insertmacro MUI_PAGE_COMPONENTS

!define MUI_DIRECTORYPAGE_TEXT_TOP "Choose the folder where QP240 looks for its remote drivers: QP240 names it in its settings for remote drivers (remote controllers), and its manual does too. Press Browse and pick that folder.$\r$\n$\r$\nThe drivers go straight into it; the guide, the checking tool and the uninstaller into its subfolder $\"${OWN_FOLDER}$\"."
!define MUI_PAGE_HEADER_TEXT "QP240's remote-driver folder"
!define MUI_PAGE_HEADER_SUBTEXT "Where QP240 loads its remote drivers from."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "QP240's remote-driver folder"
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY

; The list of what was installed stays until the user goes on.
!define MUI_FINISHPAGE_NOAUTOCLOSE
!insertmacro MUI_PAGE_INSTFILES

!define MUI_FINISHPAGE_TITLE "The drivers are installed"
!define MUI_FINISHPAGE_TEXT "Plug in the keypad, start QP240 and switch the driver on in its settings for remote drivers. The guide tells you how, and what to do when the keys do nothing."
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\${OWN_FOLDER}\INSTALL.html"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Open the install guide"
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "This removes the drivers that the setup put into QP240's remote-driver folder, and the guide, the checking tool and this uninstaller from its subfolder below. The folder's other files stay. Close QP240 first."
!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_UNFINISHPAGE_NOAUTOCLOSE
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; Sets $R0 to the first driver file chosen for this install that cannot be
; opened for writing (a running QP240 has it loaded), or to "".
!macro InUseIfChosen SECTION FILE
    ${If} $R0 == ""
    ${AndIf} ${SectionIsSelected} ${SECTION}
    ${AndIf} ${FileExists} "$INSTDIR\${FILE}"
        ClearErrors
        FileOpen $R1 "$INSTDIR\${FILE}" a
        ${If} ${Errors}
            StrCpy $R0 "${FILE}"
        ${Else}
            FileClose $R1
        ${EndIf}
    ${EndIf}
!macroend

!macro RecordFile NAME
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "${NAME}" 1
!macroend

Function .onInit
    SetRegView 64
    ${If} ${Silent}
    ${AndIf} $INSTDIR == ""
        ; Nothing to ask a silent install: the folder must be given.
        SetErrorLevel 2
        Abort
    ${EndIf}
FunctionEnd

Section "-Check that no driver file is in use"
    SetRegView 64
    Call DriverInUse
    ${If} $R0 != ""
        MessageBox MB_ICONSTOP|MB_OK "$R0 in $INSTDIR is in use, most likely by a running QP240.$\r$\n$\r$\nNothing has been installed or changed. Close QP240 and run the setup again." /SD IDOK
        SetErrorLevel 2
        Abort
    ${EndIf}
SectionEnd

Section "Guide and checking tool" SEC_GUIDE
    SectionIn RO
    SetOutPath "$INSTDIR\${OWN_FOLDER}"
    File "${STAGE}\INSTALL.html"
    File "${STAGE}\CHANGELOG.html"
    File "${STAGE}\host_simulator.exe"
    SetOutPath "$INSTDIR\${OWN_FOLDER}\docs"
    File "${STAGE}\docs\key-maps.html"
    WriteUninstaller "$INSTDIR\${OWN_FOLDER}\uninstall.exe"
SectionEnd

Section "${MODEL_32} (32 keys)" SEC_32
    SetOutPath "$INSTDIR"
    File "${STAGE}\Kolmar32Keys.dll"
    !insertmacro RecordFile "Kolmar32Keys.dll"
SectionEnd

Section "${MODEL_15} (15 keys)" SEC_15
    SetOutPath "$INSTDIR"
    File "${STAGE}\Kolmar15Keys.dll"
    !insertmacro RecordFile "Kolmar15Keys.dll"
SectionEnd

Section /o "Debugging files (.pdb)" SEC_PDB
    ${If} ${SectionIsSelected} ${SEC_32}
        SetOutPath "$INSTDIR"
        File "${STAGE}\Kolmar32Keys.pdb"
        !insertmacro RecordFile "Kolmar32Keys.pdb"
    ${EndIf}
    ${If} ${SectionIsSelected} ${SEC_15}
        SetOutPath "$INSTDIR"
        File "${STAGE}\Kolmar15Keys.pdb"
        !insertmacro RecordFile "Kolmar15Keys.pdb"
    ${EndIf}
    SetOutPath "$INSTDIR\${OWN_FOLDER}"
    File "${STAGE}\host_simulator.pdb"
    !insertmacro RecordFile "host_simulator.pdb"
SectionEnd

; The entry in Windows' installed apps. The records of files above are kept
; from an older install: its files are still there for the uninstaller.
Section "-Uninstall entry"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${OWN_FOLDER}\uninstall.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR\${OWN_FOLDER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DriverFolder" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" "$\"$INSTDIR\${OWN_FOLDER}\uninstall.exe$\""
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" "$\"$INSTDIR\${OWN_FOLDER}\uninstall.exe$\" /S"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR\${OWN_FOLDER}" "/S=0K" $0 $1 $2
    ${If} ${SectionIsSelected} ${SEC_32}
        ${GetSize} "$INSTDIR" "/M=Kolmar32Keys.* /S=0K /G=0" $1 $2 $3
        IntOp $0 $0 + $1
    ${EndIf}
    ${If} ${SectionIsSelected} ${SEC_15}
        ${GetSize} "$INSTDIR" "/M=Kolmar15Keys.* /S=0K /G=0" $1 $2 $3
        IntOp $0 $0 + $1
    ${EndIf}
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

LangString DESC_GUIDE ${LANG_ENGLISH} "The install guide, the key maps and the list of changes as web pages, and host_simulator.exe, which shows whether Windows sees the keypad. Always installed."
LangString DESC_32 ${LANG_ENGLISH} "Kolmar32Keys.dll, for the 32-key keypads (${MODEL_32}, 4 rows of 8 keys)."
LangString DESC_15 ${LANG_ENGLISH} "Kolmar15Keys.dll, for the 15-key keypads (${MODEL_15}, 3 rows of 5 keys)."
LangString DESC_PDB ${LANG_ENGLISH} "Debugging information for Windows' debuggers, to read a crash report. Not needed to use the drivers."
!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SEC_GUIDE} $(DESC_GUIDE)
    !insertmacro MUI_DESCRIPTION_TEXT ${SEC_32} $(DESC_32)
    !insertmacro MUI_DESCRIPTION_TEXT ${SEC_15} $(DESC_15)
    !insertmacro MUI_DESCRIPTION_TEXT ${SEC_PDB} $(DESC_PDB)
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function DriverInUse
    StrCpy $R0 ""
    !insertmacro InUseIfChosen ${SEC_32} "Kolmar32Keys.dll"
    !insertmacro InUseIfChosen ${SEC_15} "Kolmar15Keys.dll"
FunctionEnd

Function ComponentsLeave
    ${IfNot} ${SectionIsSelected} ${SEC_32}
    ${AndIfNot} ${SectionIsSelected} ${SEC_15}
        MessageBox MB_ICONEXCLAMATION|MB_OK "Choose at least one driver: the one for your keypad."
        Abort
    ${EndIf}
FunctionEnd

; A driver in use is found here, where the user can close QP240 and go on.
Function DirectoryLeave
    Call DriverInUse
    ${If} $R0 != ""
        MessageBox MB_ICONEXCLAMATION|MB_OK "$R0 in this folder is in use, most likely by a running QP240. Close QP240, then press Install again."
        Abort
    ${EndIf}
FunctionEnd

; Uninstall. The uninstaller lies in the drivers' folder's subfolder, which is
; its $INSTDIR.
Var DriverFolder

!macro RemoveIfRecorded FOLDER NAME
    ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "${NAME}"
    ${If} $0 == 1
        Delete "${FOLDER}\${NAME}"
    ${EndIf}
!macroend

!macro InUseIfRecorded NAME
    ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "${NAME}"
    ${If} $R0 == ""
    ${AndIf} $0 == 1
    ${AndIf} ${FileExists} "$DriverFolder\${NAME}"
        ClearErrors
        FileOpen $R1 "$DriverFolder\${NAME}" a
        ${If} ${Errors}
            StrCpy $R0 "${NAME}"
        ${Else}
            FileClose $R1
        ${EndIf}
    ${EndIf}
!macroend

!macro RemoveSettingsIfRecorded NAME KEY
    ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" "${NAME}"
    ${If} $0 == 1
        DeleteRegKey HKCU "${KEY}"
    ${EndIf}
!macroend

Function un.onInit
    SetRegView 64
    ${GetParent} "$INSTDIR" $DriverFolder
FunctionEnd

Section "Uninstall"
    StrCpy $R0 ""
    !insertmacro InUseIfRecorded "Kolmar32Keys.dll"
    !insertmacro InUseIfRecorded "Kolmar15Keys.dll"
    ${If} $R0 != ""
        MessageBox MB_ICONSTOP|MB_OK "$R0 in $DriverFolder is in use, most likely by a running QP240.$\r$\n$\r$\nNothing has been removed. Close QP240 and uninstall again." /SD IDOK
        SetErrorLevel 2
        Abort
    ${EndIf}

    !insertmacro RemoveIfRecorded "$DriverFolder" "Kolmar32Keys.dll"
    !insertmacro RemoveIfRecorded "$DriverFolder" "Kolmar15Keys.dll"
    !insertmacro RemoveIfRecorded "$DriverFolder" "Kolmar32Keys.pdb"
    !insertmacro RemoveIfRecorded "$DriverFolder" "Kolmar15Keys.pdb"
    !insertmacro RemoveIfRecorded "$INSTDIR" "host_simulator.pdb"
    Delete "$INSTDIR\INSTALL.html"
    Delete "$INSTDIR\CHANGELOG.html"
    Delete "$INSTDIR\host_simulator.exe"
    Delete "$INSTDIR\docs\key-maps.html"
    Delete "$INSTDIR\uninstall.exe"
    ; Only when empty: whatever else is there is not ours.
    RMDir "$INSTDIR\docs"
    RMDir "$INSTDIR"

    ; The stored key mode and channel stay unless the user asks otherwise: a
    ; reinstall finds them again.
    MessageBox MB_ICONQUESTION|MB_YESNO|MB_DEFBUTTON2 "Also remove the key mode and MIDI channel that the drivers stored for you?$\r$\n$\r$\nChoose No to keep them for a later install." /SD IDNO IDNO keep
    !insertmacro RemoveSettingsIfRecorded "Kolmar32Keys.dll" "${SETTINGS_KEY_32}"
    !insertmacro RemoveSettingsIfRecorded "Kolmar15Keys.dll" "${SETTINGS_KEY_15}"
    DeleteRegKey /ifempty HKCU "${SETTINGS_KEY_BASE}"
    DeleteRegKey /ifempty HKCU "${SETTINGS_KEY_TOP}"
keep:
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
