#!/bin/sh
# Draws the four pictures bundled with the wizard into resources/assets/.
# Needs: apt-get install -y imagemagick qrencode fonts-dejavu-core
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
out="$here/resources/assets"
mkdir -p "$out"

font_bold=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
# The final page tells the installer to follow this address; the QR code must carry the same one.
tutorial_url="https://tutorials.velnor.example/new-system-configuration"

# -strip keeps the files free of time stamps, so a re-run gives the same bytes.

# Splash, 1024x600 JPEG: dark blue to graphite, product name in the middle.
convert -size 1024x600 gradient:'#0d2340'-'#23272e' \
    -fill '#3a7bd5' -draw 'rectangle 312,372 712,375' \
    -font "$font_bold" -pointsize 64 -fill '#f2f4f7' \
    -gravity center -annotate +0-40 'Velnor' \
    -font "$font" -pointsize 30 -fill '#b8c4d6' \
    -annotate +0+30 'Configuration Tool' \
    -pointsize 16 -fill '#7f8da3' \
    -annotate +0+250 'Network video recorder set-up' \
    -strip -quality 90 "$out/splash-screen_v5a.jpg"

# Title, 210x38 PNG with alpha: the product name on a transparent ground.
convert -size 210x38 xc:none \
    -font "$font_bold" -pointsize 13 -fill '#1f4e8c' \
    -gravity center -annotate +0+0 'Velnor Configuration Tool' \
    -strip PNG32:"$out/Velnor-Configuration-Tool.png"

# QR code of the tutorial address, 114x113 palette PNG: 3-pixel modules, padded with white
# to the size rather than scaled, so that every module stays sharp for a phone camera.
qr=$(mktemp --suffix=.png)
trap 'rm -f "$qr"' EXIT
qrencode -l M -s 3 -m 2 -o "$qr" "$tutorial_url"
convert "$qr" -background white -gravity center -extent 114x113 \
    -colors 2 -type Palette -strip PNG8:"$out/qrnvr.png"

# Icon, 16x16 PNG: a rounded dark blue square with a white V.
convert -size 16x16 xc:none \
    -fill '#0d2340' -draw 'roundrectangle 0,0 15,15 3,3' \
    -font "$font_bold" -pointsize 12 -fill white \
    -gravity center -annotate +0+0 'V' \
    -strip PNG32:"$out/poe-nvr-wizard-icon-16x16.png"
