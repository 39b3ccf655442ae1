# shellcheck shell=bash
# The sample tree of the screenshots, sourced by scripts/screenshots.sh and
# scripts/screenshots-windows.sh, so both programs are shown over the same
# files.
#
# make_sample_tree TREE CLI SECONDS  makes four folders of documents, photos,
#                  music and a disc image under TREE. The files hold the same
#                  bytes on every run and carry fixed dates, so the hashes and
#                  the date column read the same in every picture. The disc
#                  image is sparse, sized so that CLI (a quorvia-cli) hashes it
#                  in about SECONDS here: long enough to be seen hashing on a
#                  fast machine, not much longer on a slow one.

# The same bytes on every run (AES in counter mode over zeros, keyed by the
# seed).
sample_file() {
    local path=$1 bytes=$2 seed=$3
    mkdir -p "$(dirname "$path")"
    head -c "$bytes" /dev/zero |
        openssl enc -aes-128-ctr -nosalt -K "$(printf '%032x' "$seed")" -iv "$(printf %032d 0)" 2>/dev/null >"$path"
}

make_sample_tree() {
    local tree=$1 cli=$2 seconds=$3
    sample_file "$tree/文档/说明.txt" 3172 1
    sample_file "$tree/文档/年度报告.pdf" 186420 2
    sample_file "$tree/文档/会议记录.md" 12288 3
    sample_file "$tree/照片/春节.jpg" 2456012 4
    sample_file "$tree/照片/合影.png" 838860 5
    sample_file "$tree/照片/2023/海边.jpg" 1650321 6
    sample_file "$tree/音乐/晨曲.flac" 9437184 7
    mkdir -p "$tree/镜像"

    local probe elapsed_ms start_ns image_mib
    probe=$(dirname "$tree")/probe.iso
    truncate -s 256M "$probe"
    start_ns=$(date +%s%N)
    "$cli" hash -a sha1 "$probe" >/dev/null 2>&1
    elapsed_ms=$((($(date +%s%N) - start_ns) / 1000000))
    rm -f "$probe"
    [ "$elapsed_ms" -gt 0 ] || elapsed_ms=1
    # In steps of 256 MiB, so that runs on one machine mostly agree.
    image_mib=$(((256 * seconds * 1000 / elapsed_ms + 128) / 256 * 256))
    [ "$image_mib" -ge 256 ] || image_mib=256
    truncate -s "${image_mib}M" "$tree/镜像/系统安装盘.iso"
    echo "sample tree: 256 MiB hashed in ${elapsed_ms} ms; the disc image has ${image_mib} MiB"

    find "$tree" -type f -exec touch -d '2024-05-18 09:30:00' {} +
    touch -d '2024-02-10 20:15:00' "$tree/照片/春节.jpg"
    touch -d '2023-08-02 16:42:00' "$tree/照片/2023/海边.jpg"
}
