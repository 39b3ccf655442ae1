#!/usr/bin/env bash
# Lists travel between systems: on one tree, every list the Linux program
# writes verifies with the Windows program (under Wine) and the other way
# round, in each list format; and after a file changes, each program finds
# exactly that file changed in either program's list.
#
#   cross_platform_lists.sh LINUX_QUORVIA_CLI WINDOWS_QUORVIA_CLI_EXE
#
# Wine's environment (prefix, WINEDEBUG) comes from the caller.
set -euo pipefail

linux_cli=$(realpath "$1")
windows_cli=$(realpath "$2")
work=$(mktemp -d "${TMPDIR:-/tmp}/quorvia-cross-XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config"
cd "$work"

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Names both systems can hold: spaces, a leading dot, CJK, nested folders,
# an empty file and one of several read blocks.
make_tree() {
  rm -rf tree
  mkdir -p "tree/子目录/深 一层" tree/.hidden tree/empty-dir
  printf 'abc' > tree/abc.txt
  printf '' > tree/empty.bin
  printf '中文内容\r\n' > "tree/子目录/说明 文件.txt"
  printf 'x%.0s' $(seq 1 3000) > "tree/子目录/深 一层/x.dat"
  printf 'dot' > tree/.hidden/.dotfile
  head -c 2500000 /dev/zero | tr '\0' 'q' > tree/big.bin
}
file_count=6

linux() { "$linux_cli" "$@"; }
windows() { wine "$windows_cli" "$@"; }

# check WRITER READER ALGORITHM FORMAT LIST: WRITER hashes the tree into
# tree/LIST, READER verifies it (every file correct), then after one file
# changes READER reports that file alone.
check() {
  local writer=$1 reader=$2 algorithm=$3 format=$4 list=$5
  local what="$writer -> $reader, $algorithm, $format"
  make_tree
  if ! (cd tree && "$writer" hash -a "$algorithm" --format="$format" -o "$list" . > /dev/null 2> "$work/err"); then
    fail "$what: hash failed: $(cat "$work/err")"
    return
  fi
  local out status=0
  out=$(cd tree && "$reader" verify "$list" 2> "$work/err") || status=$?
  if [ "$status" -ne 0 ]; then
    fail "$what: verify exit $status: $(cat "$work/err")"
    return
  fi
  local correct
  correct=$(printf '%s\n' "$out" | grep -c $'\t文件检查正确$' || true)
  [ "$correct" -eq "$file_count" ] || fail "$what: $correct of $file_count files correct: $out"

  printf 'abd' > tree/abc.txt
  status=0
  out=$(cd tree && "$reader" verify "$list" 2> "$work/err") || status=$?
  [ "$status" -eq 1 ] || fail "$what: verify after a change exit $status, not 1"
  local changed
  changed=$(printf '%s\n' "$out" | grep $'\t新文件HASH值:' || true)
  [ "$(printf '%s\n' "$changed" | grep -c .)" -eq 1 ] || fail "$what: changed files reported: $changed"
  [[ "$changed" == abc.txt$'\t'* ]] || fail "$what: the change is not reported for abc.txt: $changed"
}

rounds=(
  "sha1 list list.txt"
  "md5 list list.md5"
  "sha256 sum SHA256SUMS"
  "sha512 bsd list.txt"
  "crc32 sfv list.sfv"
  "115 list list.txt"
)
for round in "${rounds[@]}"; do
  read -r algorithm format list <<< "$round"
  check linux windows "$algorithm" "$format" "$list"
  check windows linux "$algorithm" "$format" "$list"
done

if [ "$failures" -ne 0 ]; then
  echo "cross_platform_lists: $failures failure(s)" >&2
  exit 1
fi
echo "cross_platform_lists: every list verified on the other system (${#rounds[@]} formats, both ways)"
