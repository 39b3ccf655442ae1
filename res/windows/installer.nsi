; The Windows installer: quorvia.exe, quorvia-cli.exe and the README into one
; folder, a Start menu entry, the hash lists' file type, the Explorer command
; on files and folders, and an uninstaller that takes exactly these away.
;
; Built by `make dist-windows`, which passes:
;   VERSION       the program's four-part version
;   DIST_DIR      the staging folder with the stripped programs and README.txt
;   LICENSE_FILE  the licence text with CR LF line ends
;   OUTFILE       where the installer goes
; The script is UTF-8 (makensis -INPUTCHARSET UTF8).
;
; Scope: for the current user by default, with no elevation, into
; %LOCALAPPDATA%\Programs\Quorvia and HKCU; for all users into Program Files
; and HKLM when /ALLUSERS is given or chosen on the scope page. The installer
; itself asks for no rights (one that asked for the highest would prompt
; every administrator even for a per-user install); choosing all users
; without them starts it again elevated. /CURRENTUSER chooses the other
; scope on the command line; either one skips the scope page.

!pragma warning error all
Unicode true
; The program is 64-bit only: a 64-bit installer sees the 64-bit registry
; and Program Files without redirection, and refuses a system that could
; not run the program anyway.
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma
RequestExecutionLevel user

!macro RequireDefine NAME
  !ifndef ${NAME}
    !error "makensis -D${NAME}=... is required"
  !endif
!macroend
!insertmacro RequireDefine VERSION
!insertmacro RequireDefine DIST_DIR
!insertmacro RequireDefine LICENSE_FILE
!insertmacro RequireDefine OUTFILE

!define APP_NAME "栎弦文件校验工具"
!define PUBLISHER "Zantoria"
!define PROGID "Zantoria.Quorvia.HashList"
!define VERB "Zantoria.Quorvia.Hash"
!define VERB_TEXT "用栎弦文件校验工具计算校验值"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvia"
!define CLASSES "Software\Classes"
!define SHORTCUT "$SMPROGRAMS\${APP_NAME}.lnk"
; SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST): Explorer reads the file
; types and verbs again.
!define NOTIFY_ASSOCIATIONS "shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)"
; Returned when the rights for an all-users scope are missing and cannot be
; asked for (silent), or the user declined (ERROR_ELEVATION_REQUIRED,
; ERROR_CANCELLED).
!define EXIT_ELEVATION_REQUIRED 740
!define EXIT_CANCELLED 1223

!include MUI2.nsh
!include nsDialogs.nsh
!include LogicLib.nsh
!include FileFunc.nsh

Name "${APP_NAME}"
OutFile "${OUTFILE}"
BrandingText "${APP_NAME} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

Var AllUsers       ; 1: all users, HKLM, Program Files
Var ScopeGiven     ; 1: on the command line (or by the instance that started this one)
Var ExplicitDir    ; 1: /D= chose the folder
Var Parameters     ; the command line without the program and /D=
Var RadioUser
Var RadioAll

!define MUI_ICON "quorvia.ico"
!define MUI_UNICON "quorvia.ico"
!define MUI_ABORTWARNING

!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipWhenRelaunched
!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipWhenRelaunched
; The page's text names the button 我同意, the stock button says 我接受.
!define MUI_LICENSEPAGE_BUTTON "我同意(&I)"
!insertmacro MUI_PAGE_LICENSE "${LICENSE_FILE}"
Page custom ScopePage ScopePageLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "SimpChinese"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductName" "${APP_NAME}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileDescription" "${APP_NAME} 安装程序"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "LegalCopyright" "Copyright (c) 2026 ${PUBLISHER}, MIT License"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductVersion" "${VERSION}"

; --- Shared by the installer and the uninstaller ------------------------------

; IsUserAnAdmin is true only in an elevated process: a member of the
; administrators who was not elevated still cannot write HKLM.
!macro IsElevated RESULT
  System::Call "shell32::IsUserAnAdmin() i .s"
  Pop ${RESULT}
!macroend

; Starts this program again with the administrator's rights and the given
; parameters; quits when it started, else tells the user and quits with
; ERROR_CANCELLED (the elevated instance does the work or nothing happens).
!macro RelaunchElevated PARAMETERS
  ClearErrors
  ExecShell "runas" "$EXEPATH" "${PARAMETERS}"
  ${If} ${Errors}
    MessageBox MB_ICONEXCLAMATION|MB_OK "没有获得管理员权限，无法为所有用户进行操作。" /SD IDOK
    SetErrorLevel ${EXIT_CANCELLED}
  ${EndIf}
  Quit
!macroend

; --- Installer -------------------------------------------------------------

; The folder, the shell folders and SHCTX of the chosen scope. An earlier
; install of that scope is upgraded in its own folder unless /D= says
; otherwise.
Function ApplyScope
  ${If} $AllUsers = 1
    SetShellVarContext all
    StrCpy $1 "$PROGRAMFILES64\Quorvia"
  ${Else}
    SetShellVarContext current
    StrCpy $1 "$LOCALAPPDATA\Programs\Quorvia"
  ${EndIf}
  ${If} $ExplicitDir <> 1
    ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
      StrCpy $INSTDIR $0
    ${Else}
      StrCpy $INSTDIR $1
    ${EndIf}
  ${EndIf}
FunctionEnd

; The parameters for an elevated instance of the installer: these, the
; all-users scope and the folder /D= gave (makensis takes /D= off the
; command line; it must come last).
Function RelaunchForAllUsers
  Exch $0
  StrCpy $0 "$Parameters /ALLUSERS $0"
  ${If} $ExplicitDir = 1
    StrCpy $0 "$0 /D=$INSTDIR"
  ${EndIf}
  !insertmacro RelaunchElevated $0
FunctionEnd

Function .onInit
  ; No InstallDir: $INSTDIR is set here only when /D= was given.
  StrCpy $ExplicitDir 0
  ${If} $INSTDIR != ""
    StrCpy $ExplicitDir 1
  ${EndIf}
  StrCpy $AllUsers 0
  StrCpy $ScopeGiven 0
  ${GetParameters} $Parameters
  ClearErrors
  ${GetOptions} $Parameters "/ALLUSERS" $0
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
    StrCpy $ScopeGiven 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $Parameters "/CURRENTUSER" $0
  ${IfNot} ${Errors}
    StrCpy $AllUsers 0
    StrCpy $ScopeGiven 1
  ${EndIf}
  ${If} $AllUsers = 1
    !insertmacro IsElevated $0
    ${If} $0 = 0
      ${If} ${Silent}
        ; A silent install cannot ask; the caller has to start it elevated.
        SetErrorLevel ${EXIT_ELEVATION_REQUIRED}
        Quit
      ${EndIf}
      Push ""
      Call RelaunchForAllUsers
    ${EndIf}
  ${EndIf}
  Call ApplyScope
FunctionEnd

; An elevated instance started from the scope page: its user has already
; read the welcome and accepted the licence.
Function SkipWhenRelaunched
  ClearErrors
  ${GetOptions} $Parameters "/RELAUNCHED" $0
  ${IfNot} ${Errors}
    Abort
  ${EndIf}
FunctionEnd

; The shield on 下一步 while all users are chosen and this process is not
; elevated: that choice asks for the rights.
Function UpdateShield
  Pop $0  ; the clicked control, from nsDialogs
  ${NSD_GetState} $RadioAll $0
  !insertmacro IsElevated $1
  GetDlgItem $2 $HWNDPARENT 1
  ${If} $0 = ${BST_CHECKED}
  ${AndIf} $1 = 0
    SendMessage $2 ${BCM_SETSHIELD} 0 1
  ${Else}
    SendMessage $2 ${BCM_SETSHIELD} 0 0
  ${EndIf}
FunctionEnd

Function ScopePage
  ${If} $ScopeGiven = 1
    Abort
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "选择安装方式" "选择为哪些用户安装$(^NameDA)。"
  nsDialogs::Create 1018
  Pop $0
  ${If} $0 == error
    Abort
  ${EndIf}
  ; The two buttons first, so they form one group for the arrow keys.
  ${NSD_CreateFirstRadioButton} 0 0 100% 12u "仅为我安装(&M)"
  Pop $RadioUser
  ${NSD_CreateAdditionalRadioButton} 0 48u 100% 12u "为这台电脑的所有用户安装(&A)"
  Pop $RadioAll
  ${NSD_CreateLabel} 12u 14u -12u 24u "安装到你的用户文件夹，只有你可以使用。不需要管理员权限。"
  Pop $0
  ${NSD_CreateLabel} 12u 62u -12u 24u "安装到 Program Files，这台电脑上的每个用户都可以使用。需要管理员权限。"
  Pop $0
  ${If} $AllUsers = 1
    ${NSD_Check} $RadioAll
  ${Else}
    ${NSD_Check} $RadioUser
  ${EndIf}
  ${NSD_OnClick} $RadioUser UpdateShield
  ${NSD_OnClick} $RadioAll UpdateShield
  Push $RadioAll
  Call UpdateShield
  nsDialogs::Show
FunctionEnd

Function ScopePageLeave
  GetDlgItem $0 $HWNDPARENT 1
  SendMessage $0 ${BCM_SETSHIELD} 0 0
  ${NSD_GetState} $RadioAll $0
  ${If} $0 = ${BST_CHECKED}
    StrCpy $AllUsers 1
    !insertmacro IsElevated $0
    ${If} $0 = 0
      Push "/RELAUNCHED"
      Call RelaunchForAllUsers
    ${EndIf}
  ${Else}
    StrCpy $AllUsers 0
  ${EndIf}
  Call ApplyScope
FunctionEnd

; The list extension's file type is ours; the type another program gave it
; before is not kept (the uninstaller clears it only while it is still ours).
!macro AssociateExtension EXTENSION
  WriteRegStr SHCTX "${CLASSES}\${EXTENSION}" "" "${PROGID}"
  WriteRegStr SHCTX "${CLASSES}\${EXTENSION}\OpenWithProgids" "${PROGID}" ""
!macroend

!macro AddVerb CLASS
  WriteRegStr SHCTX "${CLASSES}\${CLASS}\shell\${VERB}" "" "${VERB_TEXT}"
  WriteRegStr SHCTX "${CLASSES}\${CLASS}\shell\${VERB}" "Icon" '"$INSTDIR\quorvia.exe",0'
  ; Shown for any number of selected items; Explorer starts one process per
  ; item, and the program gathers them into one window.
  WriteRegStr SHCTX "${CLASSES}\${CLASS}\shell\${VERB}" "MultiSelectModel" "Player"
  WriteRegStr SHCTX "${CLASSES}\${CLASS}\shell\${VERB}\command" "" '"$INSTDIR\quorvia.exe" --explorer-verb "%1"'
!macroend

; The size "Apps" shows, in KiB rounded up, of the files installed (the
; folder may hold other things when /D= chose it).
!macro AddFileSize FILE TOTAL
  FileOpen $0 "${FILE}" r
  FileSeek $0 0 END $1
  FileClose $0
  IntOp ${TOTAL} ${TOTAL} + $1
!macroend

Section "-Install"
  SetOutPath "$INSTDIR"
  File "${DIST_DIR}/quorvia.exe"
  File "${DIST_DIR}/quorvia-cli.exe"
  File "${DIST_DIR}/README.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  StrCpy $3 0
  !insertmacro AddFileSize "$INSTDIR\quorvia.exe" $3
  !insertmacro AddFileSize "$INSTDIR\quorvia-cli.exe" $3
  !insertmacro AddFileSize "$INSTDIR\README.txt" $3
  !insertmacro AddFileSize "$INSTDIR\uninstall.exe" $3
  IntOp $3 $3 + 1023
  IntOp $3 $3 / 1024

  ; The uninstaller is told its scope: it needs it to find the keys.
  ${If} $AllUsers = 1
    StrCpy $4 " /ALLUSERS"
  ${Else}
    StrCpy $4 ""
  ${EndIf}
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${APP_NAME}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" '"$INSTDIR\quorvia.exe",0'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"$4'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe"$4 /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $3
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1

  ; Icon 129 is the program's own icon for its lists.
  WriteRegStr SHCTX "${CLASSES}\${PROGID}" "" "校验值列表"
  WriteRegStr SHCTX "${CLASSES}\${PROGID}\DefaultIcon" "" '"$INSTDIR\quorvia.exe",-129'
  WriteRegStr SHCTX "${CLASSES}\${PROGID}\shell\open\command" "" '"$INSTDIR\quorvia.exe" "%1"'
  !insertmacro AssociateExtension ".md5"
  !insertmacro AssociateExtension ".sha1"
  ; .txt lists open with the program only through "Open with": the text
  ; editor stays the default.
  WriteRegStr SHCTX "${CLASSES}\.txt\OpenWithProgids" "${PROGID}" ""
  !insertmacro AddVerb "*"
  !insertmacro AddVerb "Directory"

  ; NSIS cannot give a shortcut an AppUserModelID, which ties the taskbar
  ; button to the Start menu entry; the program writes its own shortcut.
  ; Should that fail, a plain one is better than no entry at all.
  ClearErrors
  ExecWait '"$INSTDIR\quorvia.exe" --create-shortcut "${SHORTCUT}"' $0
  ${If} ${Errors}
  ${OrIf} $0 <> 0
    DetailPrint "quorvia.exe --create-shortcut: $0"
    CreateShortcut "${SHORTCUT}" "$INSTDIR\quorvia.exe" "" "$INSTDIR\quorvia.exe" 0
  ${EndIf}

  System::Call "${NOTIFY_ASSOCIATIONS}"
SectionEnd

; --- Uninstaller -----------------------------------------------------------

Function un.onInit
  ${un.GetParameters} $Parameters
  StrCpy $AllUsers 0
  ClearErrors
  ${un.GetOptions} $Parameters "/ALLUSERS" $0
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
  ${Else}
    ; Started without it (from its folder, say): all users when only the
    ; machine's entry names this folder.
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != $INSTDIR
    ${AndIf} $1 == $INSTDIR
      StrCpy $AllUsers 1
    ${EndIf}
  ${EndIf}
  ${If} $AllUsers = 1
    SetShellVarContext all
    !insertmacro IsElevated $0
    ${If} $0 = 0
      ${If} ${Silent}
        SetErrorLevel ${EXIT_ELEVATION_REQUIRED}
        Quit
      ${EndIf}
      ; _?= keeps the elevated copy working on this folder (it must come last).
      !insertmacro RelaunchElevated "$Parameters /ALLUSERS _?=$INSTDIR"
    ${EndIf}
  ${Else}
    SetShellVarContext current
  ${EndIf}
FunctionEnd

; Our value goes; the extension's key goes only when nothing else is left in
; it, so what other programs wrote there stays.
!macro UnassociateExtension EXTENSION CLEAR_DEFAULT
  !if ${CLEAR_DEFAULT} == 1
    ReadRegStr $0 SHCTX "${CLASSES}\${EXTENSION}" ""
    ${If} $0 == "${PROGID}"
      DeleteRegValue SHCTX "${CLASSES}\${EXTENSION}" ""
    ${EndIf}
  !endif
  DeleteRegValue SHCTX "${CLASSES}\${EXTENSION}\OpenWithProgids" "${PROGID}"
  DeleteRegKey /ifempty /ifnovalues SHCTX "${CLASSES}\${EXTENSION}\OpenWithProgids"
  DeleteRegKey /ifempty /ifnovalues SHCTX "${CLASSES}\${EXTENSION}"
!macroend

; The verb's key is ours; the keys above it only when the verb was all
; they held.
!macro RemoveVerb CLASS
  DeleteRegKey SHCTX "${CLASSES}\${CLASS}\shell\${VERB}"
  DeleteRegKey /ifempty /ifnovalues SHCTX "${CLASSES}\${CLASS}\shell"
  DeleteRegKey /ifempty /ifnovalues SHCTX "${CLASSES}\${CLASS}"
!macroend

Section "Uninstall"
  ; Our files one by one: /D= may have put them into a folder that holds
  ; other things, which stay (and the folder with them).
  Delete "$INSTDIR\quorvia.exe"
  Delete "$INSTDIR\quorvia-cli.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "${SHORTCUT}"

  DeleteRegKey SHCTX "${CLASSES}\${PROGID}"
  !insertmacro UnassociateExtension ".md5" 1
  !insertmacro UnassociateExtension ".sha1" 1
  !insertmacro UnassociateExtension ".txt" 0
  !insertmacro RemoveVerb "*"
  !insertmacro RemoveVerb "Directory"
  ; The settings under HKCU\Software\Zantoria are the user's and stay.

  System::Call "${NOTIFY_ASSOCIATIONS}"
  ; The entry in "Apps" goes last: an uninstall that stopped half-way can
  ; be started from there again, and its going says that all else has.
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
