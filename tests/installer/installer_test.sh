#!/usr/bin/env bash
# The Windows installer as a user meets it, under Wine in a fresh prefix:
# a silent per-user install (twice: the second is an upgrade) leaves the
# files, the "Apps" entry, the file types, the Explorer command and the Start
# menu entry; the installed program started by the file type's and the
# command's own command lines opens a list, gathers two items into one
# window and gives a list a window of its own; the uninstaller named by the
# "Apps" entry takes all of it away and leaves what is not ours. Then the
# same for all users (/ALLUSERS: Program Files, HKLM), and once more with
# the uninstaller started from its folder without being told the scope.
#
#   installer_test.sh SETUP_EXE WINDOW_PROBE_EXE DIST_DIR VERSION [WORK_DIR]
#
# DIST_DIR holds the files the installer was made from; WORK_DIR (default:
# installer-test beside SETUP_EXE) is made afresh and removed at the end.
set -euo pipefail

if [ $# -lt 4 ]; then
  echo "usage: $0 SETUP_EXE WINDOW_PROBE_EXE DIST_DIR VERSION [WORK_DIR]" >&2
  exit 2
fi
SETUP=$(realpath "$1")
PROBE=$(realpath "$2")
DIST=$(realpath "$3")
VERSION=$4
WORK=$(realpath -m "${5:-$(dirname "$SETUP")/installer-test}")
APP_NAME=栎弦文件校验工具
PROGID=Zantoria.Quorvia.HashList
VERB=Zantoria.Quorvia.Hash
VERB_TEXT=用栎弦文件校验工具计算校验值
SHORTCUT_DESCRIPTION=计算文件和文件夹的校验值，保存校验列表并重新校验其中的文件
FILES=(quorvia.exe quorvia-cli.exe README.txt uninstall.exe)

# A fresh prefix, headless (the null display driver), silent, and without
# the crash dialog that would hold a crashed program open.
export WINEPREFIX=$WORK/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

failures=0
say() { echo "installer_test: $*"; }
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
die() {
  echo "FAIL: $*" >&2
  exit 1
}
cleanup() {
  set +e
  [ -d "$WINEPREFIX" ] && wine "$PROBE" close >/dev/null 2>&1
  wineserver -k 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

probe() { timeout -k 5 60 wine "$PROBE" "$@"; }
# A Windows path's Unix path, and a folder the system names (%NAME%).
unix_path() { winepath -u "$1" 2>/dev/null; }
system_folder() { wine cmd /c echo "%$1%" 2>/dev/null | tr -d '\r'; }

# --- The registry, read through Wine's reg.exe ------------------------------
# Exported to a file (UTF-16, so Chinese data comes through whatever the
# console's code page is).

# The .reg text of KEY and its subkeys (UTF-8, LF); fails when KEY is absent.
reg_export() {
  local file=$WORK/export.reg
  rm -f "$file"
  wine reg export "$1" "$file" /y >/dev/null 2>&1 || return 1
  iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r'
}

# The data of KEY's value NAME ("@": the default value): a string without
# the .reg escapes, a DWORD in decimal; fails when there is no such value.
reg_value() {
  local key=$1 name=$2 text data
  text=$(reg_export "$key") || return 1
  data=$(printf '%s\n' "$text" | awk -v section="[$key]" -v name="$name" '
    BEGIN { prefix = (name == "@") ? "@=" : "\"" name "\"="; section = tolower(section) }
    /^\[/ { inside = (tolower($0) == section); next }
    inside && index($0, prefix) == 1 { print substr($0, length(prefix) + 1); found = 1; exit }
    END { exit !found }') || return 1
  if [[ $data =~ ^\"(.*)\"$ ]]; then
    printf '%s\n' "${BASH_REMATCH[1]}" | sed 's/\\\(.\)/\1/g'
  elif [[ $data =~ ^dword:([0-9a-fA-F]{8})$ ]]; then
    echo $((16#${BASH_REMATCH[1]}))
  else
    printf '%s\n' "$data"
  fi
}

# Whether FILE holds TEXT in UTF-16LE, as a shortcut keeps its strings.
holds_utf16() {
  local pattern
  pattern=$(printf '%s' "$2" | iconv -f UTF-8 -t UTF-16LE | od -An -v -tx1 | tr -d ' \n')
  od -An -v -tx1 "$1" | tr -d ' \n' | grep -q "$pattern"
}

has_key() { wine reg query "$1" >/dev/null 2>&1; }

expect_value() {
  local key=$1 name=$2 expected=$3 actual
  if ! actual=$(reg_value "$key" "$name"); then
    fail "$key: no value $name (expected '$expected')"
  elif [ "$actual" != "$expected" ]; then
    fail "$key: $name is '$actual', expected '$expected'"
  fi
}
expect_no_value() {
  local actual
  if actual=$(reg_value "$1" "$2"); then fail "$1: $2 is still there ('$actual')"; fi
}
expect_no_key() { if has_key "$1"; then fail "$1 is still there"; fi; }

# --- What an install leaves --------------------------------------------------

# The install of one scope: ROOT (HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE),
# the Windows folder, the Start menu's Programs folder (Unix) and the
# uninstaller's scope argument.
check_installed() {
  local root=$1 dir=$2 programs=$3 scope_argument=$4
  local unix_dir exe classes entry size=0 file
  unix_dir=$(unix_path "$dir")
  exe="\"$dir\\quorvia.exe\""
  classes="$root\\Software\\Classes"
  entry="$root\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvia"

  for file in "${FILES[@]}"; do
    if [ ! -f "$unix_dir/$file" ]; then
      fail "$unix_dir/$file was not installed"
      continue
    fi
    size=$((size + $(stat -c %s "$unix_dir/$file")))
    if [ "$file" != uninstall.exe ] && ! cmp -s "$DIST/$file" "$unix_dir/$file"; then
      fail "$unix_dir/$file differs from $DIST/$file"
    fi
  done

  expect_value "$entry" DisplayName "$APP_NAME"
  expect_value "$entry" DisplayIcon "$exe,0"
  expect_value "$entry" DisplayVersion "$VERSION"
  expect_value "$entry" Publisher Zantoria
  expect_value "$entry" InstallLocation "$dir"
  expect_value "$entry" EstimatedSize $(((size + 1023) / 1024))
  expect_value "$entry" UninstallString "\"$dir\\uninstall.exe\"$scope_argument"
  expect_value "$entry" QuietUninstallString "\"$dir\\uninstall.exe\"$scope_argument /S"
  expect_value "$entry" NoModify 1
  expect_value "$entry" NoRepair 1

  expect_value "$classes\\$PROGID" @ 校验值列表
  expect_value "$classes\\$PROGID\\DefaultIcon" @ "$exe,-129"
  expect_value "$classes\\$PROGID\\shell\\open\\command" @ "$exe \"%1\""
  local extension
  for extension in .md5 .sha1; do
    expect_value "$classes\\$extension" @ "$PROGID"
    expect_value "$classes\\$extension\\OpenWithProgids" "$PROGID" ""
  done
  expect_value "$classes\\.txt\\OpenWithProgids" "$PROGID" ""
  if [ "$(reg_value "$classes\\.txt" @ 2>/dev/null)" = "$PROGID" ]; then fail "$classes\\.txt now opens with us"; fi

  local class
  for class in '*' Directory; do
    expect_value "$classes\\$class\\shell\\$VERB" @ "$VERB_TEXT"
    expect_value "$classes\\$class\\shell\\$VERB" Icon "$exe,0"
    expect_value "$classes\\$class\\shell\\$VERB" MultiSelectModel Player
    expect_value "$classes\\$class\\shell\\$VERB\\command" @ "$exe --explorer-verb \"%1\""
  done

  # The program's own shortcut (the installer's fallback has no
  # description) to the installed program. Its AppUserModelID cannot be
  # read back here: Wine 8 keeps a shortcut's properties nowhere (its
  # IPropertyStore on shell links is a stub that reports success).
  local link="$programs/$APP_NAME.lnk"
  if [ ! -f "$link" ]; then
    fail "no Start menu entry $link"
  else
    holds_utf16 "$link" "$dir\\quorvia.exe" || fail "$link does not lead to $dir\\quorvia.exe"
    holds_utf16 "$link" "$SHORTCUT_DESCRIPTION" || fail "$link was not written by quorvia.exe --create-shortcut"
  fi
}

# After the uninstaller has run: none of ours is left.
check_uninstalled() {
  local root=$1 dir=$2 programs=$3
  local classes="$root\\Software\\Classes" unix_dir class
  unix_dir=$(unix_path "$dir")
  [ ! -e "$unix_dir" ] || fail "$unix_dir is still there: $(ls -A "$unix_dir" | tr '\n' ' ')"
  [ ! -e "$programs/$APP_NAME.lnk" ] || fail "the Start menu entry $programs/$APP_NAME.lnk is still there"
  expect_no_key "$root\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvia"
  expect_no_key "$classes\\$PROGID"
  expect_no_key "$classes\\.sha1"
  expect_no_key "$classes\\.md5\\OpenWithProgids"
  expect_no_value "$classes\\.md5" @
  expect_no_value "$classes\\.txt\\OpenWithProgids" "$PROGID"
  for class in '*' Directory; do expect_no_key "$classes\\$class\\shell\\$VERB"; done
}

# Installs silently with ARGS; fails the test when the installer does.
install() {
  local status=0
  timeout -k 10 120 wine "$SETUP" /S "$@" || status=$?
  [ "$status" -eq 0 ] || die "setup.exe /S $* exited with $status"
}

# Runs the uninstaller as "Apps" would for a silent removal: the entry's
# QuietUninstallString. NSIS's uninstaller copies itself to the temporary
# folder and works from there, so the first process ends at once; its entry
# in "Apps" is the last thing it removes, and that is waited for.
uninstall() {
  local entry="$1\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvia" command status=0 i
  command=$(reg_value "$entry" QuietUninstallString) || die "$entry has no QuietUninstallString"
  probe run "$command" 60000 || status=$?
  [ "$status" -eq 0 ] || die "$command exited with $status"
  wait_for_no_key "$entry"
}

wait_for_no_key() {
  local i
  for ((i = 0; i < 300; i++)); do
    has_key "$1" || return 0
    sleep 0.1
  done
  die "the uninstaller left $1 in place for 30 s"
}

# --- The prefix --------------------------------------------------------------

rm -rf "$WORK"
mkdir -p "$WORK"
say "making a fresh Wine prefix in $WINEPREFIX"
wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d '' /f >/dev/null
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null
wineserver -w
# One server for the rest of the run: every start after this one is quick.
wineserver -p 60

LOCAL_APPDATA=$(system_folder LOCALAPPDATA)
USER_PROGRAMS=$(unix_path "$(system_folder APPDATA)\\Microsoft\\Windows\\Start Menu\\Programs")
PROGRAM_FILES=$(system_folder ProgramFiles)
COMMON_PROGRAMS=$(unix_path "$(system_folder ProgramData)\\Microsoft\\Windows\\Start Menu\\Programs")
[ -n "$LOCAL_APPDATA" ] && [ -n "$PROGRAM_FILES" ] || die "the prefix names no user or program folder"

# What other programs put where ours goes, which the uninstaller must leave.
HKCU_CLASSES='HKEY_CURRENT_USER\Software\Classes'
wine reg add "$HKCU_CLASSES\\.md5" /v PerceivedType /d text /f >/dev/null
wine reg add "$HKCU_CLASSES\\.txt\\OpenWithProgids" /v OtherEditor.txt /d '' /f >/dev/null
wine reg add "$HKCU_CLASSES\\Directory\\shell\\Other.Verb" /ve /d 'Other verb' /f >/dev/null

# A list of two small files, and a folder, for the program.
DATA=$WORK/data
mkdir -p "$DATA/folder"
printf 'first\n' >"$DATA/a.txt"
printf 'second\n' >"$DATA/b.txt"
(cd "$DATA" && md5sum a.txt b.txt >list.md5 && md5sum a.txt >other.md5)
LIST=$(winepath -w "$DATA/list.md5")
OTHER_LIST=$(winepath -w "$DATA/other.md5")
FOLDER=$(winepath -w "$DATA/folder")
FILE=$(winepath -w "$DATA/a.txt")

# --- For the current user ----------------------------------------------------

USER_DIR="$LOCAL_APPDATA\\Programs\\Quorvia"
say "installing for the current user (/S), then once more over it"
install
install
check_installed HKEY_CURRENT_USER "$USER_DIR" "$USER_PROGRAMS" ""
expect_no_key 'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvia'

# The command lines Explorer would run, from the registry, %1 filled in.
open_command=$(reg_value "$HKCU_CLASSES\\$PROGID\\shell\\open\\command" @) || die "no open command"
verb_command=$(reg_value "$HKCU_CLASSES\\*\\shell\\$VERB\\command" @) || die "no verb command"

say "a double-clicked list opens in the installed program"
probe start "${open_command//%1/$LIST}" || die "the open command did not start"
if probe wait-frames 1; then
  title=$(probe frames)
  [ "$title" = "list - $APP_NAME" ] || fail "the list's window is titled '$title'"
else
  fail "no window for the double-clicked list"
fi
probe close || fail "the list's window did not close"

say "two items given to the Explorer command come together in one window"
probe start "${verb_command//%1/$FOLDER}" || die "the Explorer command did not start"
if probe wait-dialog; then
  status=0
  probe run "${verb_command//%1/$FILE}" 30000 || status=$?
  [ "$status" -eq 0 ] || fail "the second start of the Explorer command exited with $status"
  # The first window takes the second item in its own time: polled.
  expected=$(printf '%s\n%s' "$FOLDER" "$FILE")
  for ((i = 0; i < 50; i++)); do
    paths=$(probe dialog-paths 2>/dev/null) || paths=
    [ "$paths" = "$expected" ] && break
    sleep 0.1
  done
  [ "$paths" = "$expected" ] || fail "the new-task dialog lists '$paths', expected '$expected'"
  frames=$(probe frames | wc -l)
  [ "$frames" -eq 1 ] || fail "$frames windows after two starts of the Explorer command, expected 1"

  say "a list opened meanwhile gets a window of its own"
  probe start "${open_command//%1/$OTHER_LIST}" || die "the open command did not start"
  if probe wait-frames $((frames + 1)); then
    probe frames | grep -qxF "other - $APP_NAME" || fail "no window titled 'other - $APP_NAME'"
  else
    fail "the list opened beside the task did not get a window of its own"
  fi
else
  fail "the Explorer command showed no new-task dialog"
fi
probe close || fail "the windows did not close"

# The user's setting, written as the program writes it (REG_DWORD), set now
# that no program runs to write its own.
SETTINGS='HKEY_CURRENT_USER\Software\Zantoria\Quorvia 2.0'
wine reg add "$SETTINGS" /v HashAlg /t REG_DWORD /d 7 /f >/dev/null

say "uninstalling through the Apps entry's QuietUninstallString"
uninstall HKEY_CURRENT_USER
check_uninstalled HKEY_CURRENT_USER "$USER_DIR" "$USER_PROGRAMS"
expect_value "$SETTINGS" HashAlg 7
expect_value "$HKCU_CLASSES\\.md5" PerceivedType text
expect_value "$HKCU_CLASSES\\.txt\\OpenWithProgids" OtherEditor.txt ""
expect_value "$HKCU_CLASSES\\Directory\\shell\\Other.Verb" @ "Other verb"

# --- For all users -----------------------------------------------------------

MACHINE_DIR="$PROGRAM_FILES\\Quorvia"
HKLM_CLASSES='HKEY_LOCAL_MACHINE\Software\Classes'
# The text editor's .txt, as on Windows (a fresh Wine prefix has none).
wine reg add "$HKLM_CLASSES\\.txt" /ve /d txtfile /f >/dev/null
say "installing for all users (/S /allusers)"
install /allusers
check_installed HKEY_LOCAL_MACHINE "$MACHINE_DIR" "$COMMON_PROGRAMS" " /ALLUSERS"
expect_no_key 'HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvia'
expect_no_key "$HKCU_CLASSES\\$PROGID"
say "uninstalling it"
uninstall HKEY_LOCAL_MACHINE
check_uninstalled HKEY_LOCAL_MACHINE "$MACHINE_DIR" "$COMMON_PROGRAMS"
expect_value "$HKLM_CLASSES\\.txt" @ txtfile

# Started from its folder without /ALLUSERS, the uninstaller finds its
# scope by the entry that names the folder.
say "installing for all users again, uninstalling with $MACHINE_DIR\\uninstall.exe /S"
install /ALLUSERS
status=0
probe run "\"$MACHINE_DIR\\uninstall.exe\" /S" 60000 || status=$?
[ "$status" -eq 0 ] || fail "uninstall.exe /S exited with $status"
wait_for_no_key "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvia"
check_uninstalled HKEY_LOCAL_MACHINE "$MACHINE_DIR" "$COMMON_PROGRAMS"
expect_value "$SETTINGS" HashAlg 7

if [ "$failures" -ne 0 ]; then
  echo "installer_test: $failures check(s) failed" >&2
  exit 1
fi
say "all checks passed"
