# shellcheck shell=bash
# The Wine prefix of the Windows screenshots, sourced by
# scripts/screenshots-windows.sh and scripts/screenshot-installer.sh.
#
# make_wine_desktop_prefix FONT SIZE [DPI]  makes the prefix $WINEPREFIX
#                  (on the X display already running) as a Chinese Windows
#                  would look: FONT (WenQuanYi Micro Hei) linked in behind the
#                  system's faces and standing in for 宋体, a virtual desktop
#                  of SIZE that draws the title bars where no window manager
#                  runs, no crash dialog, no sound, and DPI dots per inch
#                  (default 96).
make_wine_desktop_prefix() {
    local font=$1 size=$2 dpi=${3:-96} face
    wineboot -i >/dev/null 2>&1
    wineserver -w
    mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
    cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
    if [ -d /usr/share/wine/fonts ]; then
        cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    fi
    for face in Tahoma "Tahoma Bold" "Microsoft Sans Serif" "Segoe UI" "MS Shell Dlg" "MS Shell Dlg 2" SimSun; do
        wine_reg_add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v "$face" \
            /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei'
    done
    wine_reg_add 'HKCU\Software\Wine\Fonts\Replacements' /v 宋体 /d 'WenQuanYi Micro Hei'
    wine_reg_add 'HKCU\Software\Wine\Fonts\Replacements' /v SimSun /d 'WenQuanYi Micro Hei'
    wine_reg_add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default
    wine_reg_add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$size"
    wine_reg_add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0
    wine_reg_add 'HKCU\Software\Wine\Drivers' /v Audio /d ''
    wine_reg_add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi"
    wine_reg_add 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' /v LogPixels \
        /t REG_DWORD /d "$dpi"
    wineserver -w
}

wine_reg_add() { wine reg add "$@" /f >/dev/null 2>&1; }
