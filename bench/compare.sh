#!/usr/bin/env bash
# End-to-end speed of `quorvia-cli hash` against the checksum tools people
# already use, measured side by side in one run on data made here:
#   (a) one 1 GiB file in the page cache, for every algorithm a peer offers;
#   (b) 20,000 files of 4 KiB in 200 directories, SHA1 and MD5, warm cache;
#   (c) 100 files of 10 MiB, SHA1 and MD5, warm cache.
# In (b) and (c) quorvia-cli runs with one worker per core and with one
# (-j 1), and the peers are `rhash -r` and the coreutils tool started by
# `xargs -P$(nproc)`, one process per core.
# Prints the median of RUNS runs (at least 3) per tool, the ratio quorvia /
# fastest peer per row (below 1.0: quorvia is faster) and, for (b) and (c),
# the speed of all workers over that of one.
#
# Environment: RUNS (default 3), BIG_MIB (default 1024), WORK_DIR (default
# /var/tmp), BUILD_DIR (default build), CLI (a quorvia-cli to measure
# instead of the one built in BUILD_DIR; one without -j is measured as it
# runs). The data is removed at the end. rhash and 7z are installed through
# apt when they are missing (root or sudo needed; without them their rows are
# left out).
set -euo pipefail
cd "$(dirname "$0")/.."

RUNS=${RUNS:-3}
[ "$RUNS" -ge 3 ] || RUNS=3
BIG_MIB=${BIG_MIB:-1024}
WORK_DIR=${WORK_DIR:-/var/tmp}
SMALL_DIRS=200
SMALL_PER_DIR=100

# --- tools ---------------------------------------------------------------
install_peers() {
    local missing=()
    command -v rhash >/dev/null || missing+=(rhash)
    command -v 7z >/dev/null || missing+=(p7zip-full)
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    echo "compare: installing ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    if ! { "${sudo[@]}" apt-get update -qq && "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"; } >&2; then
        echo "compare: could not install ${missing[*]}; those peers are left out" >&2
    fi
}
install_peers

BUILD_DIR=${BUILD_DIR:-build}
if [ -z "${CLI:-}" ]; then
    if [ ! -f "$BUILD_DIR/build.ninja" ]; then
        cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    fi
    cmake --build "$BUILD_DIR" --target quorvia-cli >/dev/null
    CLI=$PWD/$BUILD_DIR/bin/quorvia-cli
fi
CLI=$(readlink -f "$CLI")
# Whether this quorvia-cli takes -j (one from before it does not).
if "$CLI" --help 2>/dev/null | grep -q -- '-j'; then HAS_JOBS=1; else HAS_JOBS=0; fi
CORES=$(nproc)

work=$(mktemp -d "$WORK_DIR/quorvia-compare.XXXXXX")
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/config"  # keep the saved algorithm untouched
mkdir -p "$HOME" "$XDG_CONFIG_HOME"

# --- data ----------------------------------------------------------------
big="$work/big.bin"
echo "compare: making ${BIG_MIB} MiB of data, ${SMALL_DIRS}x${SMALL_PER_DIR} small files and 100 of 10 MiB in $work" >&2
# A keystream is random enough for hashing and far faster than /dev/urandom.
# (The generator ends by SIGPIPE once head has enough.)
{ openssl enc -aes-128-ctr -nosalt -pass pass:quorvia -in /dev/zero 2>/dev/null || true; } |
    head -c $((BIG_MIB * 1048576)) >"$big"
[ "$(stat -c %s "$big")" -eq $((BIG_MIB * 1048576)) ] || { echo "compare: could not make $big" >&2; exit 1; }
small="$work/small"
for ((d = 0; d < SMALL_DIRS; d++)); do
    mkdir -p "$small/d$d"
    head -c $((SMALL_PER_DIR * 4096)) /dev/urandom | split -b 4096 -d -a 3 - "$small/d$d/f"
done
medium="$work/medium"
mkdir -p "$medium"
{ openssl enc -aes-128-ctr -nosalt -pass pass:medium -in /dev/zero 2>/dev/null || true; } |
    head -c $((100 * 10 * 1048576)) | split -b $((10 * 1048576)) -d -a 3 - "$medium/f"
[ "$(find "$medium" -type f | wc -l)" -eq 100 ] || { echo "compare: could not make $medium" >&2; exit 1; }
sync

# --- timing --------------------------------------------------------------
now() { date +%s.%N; }
# median_time CMD...: runs CMD once to warm up, then RUNS times; prints the
# median wall time in seconds, or "-" when the command fails.
median_time() {
    "$@" >/dev/null 2>&1 || { echo -; return; }
    local times=() t0 t1
    for ((i = 0; i < RUNS; i++)); do
        t0=$(now)
        "$@" >/dev/null 2>&1 || { echo -; return; }
        t1=$(now)
        times+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f", b - a }')")
    done
    printf '%s\n' "${times[@]}" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
# works CMD...: the command succeeds on a tiny file (the peer offers the algorithm).
tiny="$work/tiny.bin"
printf 'abc' >"$tiny"
works() { "$@" "$tiny" >/dev/null 2>&1; }

mbps() { awk -v s="$1" -v m="$BIG_MIB" 'BEGIN { if (s == "-" || s <= 0) print "-"; else printf "%.0f", m * 1.048576 / s }'; }

peers_for() {
    case "$1" in
    CRC32) echo "rhash --crc32|7z h -scrcCRC32" ;;
    MD4) echo "rhash --md4|openssl dgst -md4" ;;
    MD5) echo "md5sum|openssl dgst -md5|rhash --md5|7z h -scrcMD5" ;;
    SHA1) echo "sha1sum|openssl dgst -sha1|rhash --sha1|7z h -scrcSHA1" ;;
    SHA256) echo "sha256sum|openssl dgst -sha256|rhash --sha256|7z h -scrcSHA256" ;;
    SHA384) echo "sha384sum|openssl dgst -sha384|rhash --sha384" ;;
    SHA512) echo "sha512sum|openssl dgst -sha512|rhash --sha512" ;;
    esac
}

cat "$big" >/dev/null
echo
echo "== (a) one ${BIG_MIB} MiB file in the page cache; median of $RUNS runs; MB/s = 10^6 bytes/s"
printf '%-8s %-22s %9s %8s\n' algorithm tool seconds MB/s
summary=()
for alg in CRC32 MD4 MD5 SHA1 SHA256 SHA384 SHA512; do
    works "$CLI" hash -a "$alg" || continue
    IFS='|' read -r -a peers <<<"$(peers_for "$alg")"
    best_t=- best_tool=-
    peer_lines=()
    for peer in "${peers[@]}"; do
        read -r -a cmd <<<"$peer"
        command -v "${cmd[0]}" >/dev/null || continue
        works "${cmd[@]}" || continue
        t=$(median_time "${cmd[@]}" "$big")
        [ "$t" = - ] && continue
        peer_lines+=("$(printf '%-8s %-22s %9s %8s' "$alg" "$peer" "$t" "$(mbps "$t")")")
        if [ "$best_t" = - ] || awk -v a="$t" -v b="$best_t" 'BEGIN { exit !(a < b) }'; then
            best_t=$t best_tool=$peer
        fi
    done
    [ "$best_t" = - ] && continue
    q=$(median_time "$CLI" hash -a "$alg" "$big")
    printf '%-8s %-22s %9s %8s\n' "$alg" "quorvia-cli" "$q" "$(mbps "$q")"
    printf '%s\n' "${peer_lines[@]}"
    ratio=$(awk -v a="$q" -v b="$best_t" 'BEGIN { if (a == "-") print "-"; else printf "%.2f", a / b }')
    summary+=("$(printf '%-8s %8s %8s   %-22s %8s   %6s' "$alg" "$q" "$(mbps "$q")" "$best_tool" "$(mbps "$best_t")" "$ratio")")
done

# many_files DIR COUNT LABEL: quorvia-cli with every core and with one, rhash
# -r and xargs -P$(nproc) over the coreutils tool, for SHA1 and MD5.
many_rows=()
xargs_tool() {  # xargs_tool TOOL DIR COUNT
    find "$2" -type f -print0 | xargs -0 -P"$CORES" -n $(( ($3 + CORES - 1) / CORES )) "$1"
}
many_files() {
    local dir=$1 count=$2 label=$3
    find "$dir" -type f -print0 | xargs -0 cat >/dev/null
    echo
    echo "== $label, warm cache; median of $RUNS runs; $CORES cores"
    local alg lower q q1 t best best_tool
    for alg in SHA1 MD5; do
        lower=$(echo "$alg" | tr A-Z a-z)
        q=$(median_time "$CLI" hash -a "$alg" "$dir")
        printf '%-8s %-34s %9s\n' "$alg" "quorvia-cli" "$q"
        q1=-
        if [ "$HAS_JOBS" = 1 ]; then
            q1=$(median_time "$CLI" hash -a "$alg" -j 1 "$dir")
            printf '%-8s %-34s %9s\n' "$alg" "quorvia-cli -j 1" "$q1"
        fi
        best=- best_tool=-
        if command -v rhash >/dev/null; then
            t=$(median_time rhash -r --"$lower" "$dir")
            printf '%-8s %-34s %9s\n' "$alg" "rhash -r --$lower" "$t"
            [ "$t" != - ] && best=$t best_tool="rhash -r"
        fi
        t=$(median_time xargs_tool "${lower}sum" "$dir" "$count")
        printf '%-8s %-34s %9s\n' "$alg" "xargs -P$CORES ${lower}sum" "$t"
        if [ "$t" != - ] && { [ "$best" = - ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; }; then
            best=$t best_tool="xargs -P$CORES ${lower}sum"
        fi
        many_rows+=("$(printf '%-22s %-8s %8s %8s   %-22s %8s   %6s %8s' "$label" "$alg" "$q" "$q1" "$best_tool" "$best" \
            "$(awk -v a="$q" -v b="$best" 'BEGIN { if (a == "-" || b == "-") print "-"; else printf "%.2f", a / b }')" \
            "$(awk -v a="$q" -v b="$q1" 'BEGIN { if (a == "-" || b == "-") print "-"; else printf "%.2f", b / a }')")")
    done
}
many_files "$small" $((SMALL_DIRS * SMALL_PER_DIR)) "(b) 20,000 x 4 KiB"
many_files "$medium" 100 "(c) 100 x 10 MiB"

echo
echo "== summary: ratio = quorvia time / fastest peer time (targets: <= 1.0 on 1 GiB, <= 0.8 on many files)"
printf '%-8s %8s %8s   %-22s %8s   %6s\n' algorithm q-sec q-MB/s "fastest peer" MB/s ratio
printf '%s\n' "${summary[@]}"
echo
echo "many files: q-sec with every core, q1-sec with -j 1; speedup = q1 / q (target >= 1.8)"
printf '%-22s %-8s %8s %8s   %-22s %8s   %6s %8s\n' files algorithm q-sec q1-sec "fastest peer" sec ratio speedup
printf '%s\n' "${many_rows[@]}"
