#!/usr/bin/env bash
# Builds the codec benchmark's corpus: payloads like those a screensaver
# package carries (32-bit PE binaries, 4- and 8-bit BMP pictures, a WAV
# sound, English text), made from files of installed Debian packages.
# Deterministic: the same packages give the same bytes.
#
# usage: scripts/make-bench-corpus.sh [OUTDIR]   (default build/bench-corpus)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/bench-corpus}

fail() { echo "make-bench-corpus: $*" >&2; exit 2; }
first() { for f in "$@"; do [ -e "$f" ] && { echo "$f"; return; }; done; fail "none of $* exists (scripts/install-deps.sh)"; }

convert=/usr/bin/convert
[ -x "$convert" ] || fail "ImageMagick's convert is missing (scripts/install-deps.sh)"
command -v i686-w64-mingw32-strip >/dev/null || fail "mingw-w64 binutils are missing (scripts/install-deps.sh)"
command -v python3 >/dev/null || fail "python3 is missing"

mkdir -p "$out"
rm -f "$out"/*

# PE32 DLLs, stripped as shipped programs are (a fixed PE time stamp).
export SOURCE_DATE_EPOCH=946684800
cp "$(first /usr/i686-w64-mingw32/lib/zlib1.dll)" "$out/zlib1.dll"
i686-w64-mingw32-strip -o "$out/libwinpthread-1.dll" "$(first /usr/i686-w64-mingw32/lib/libwinpthread-1.dll)"
i686-w64-mingw32-strip -o "$out/libssp-0.dll" "$(first /usr/lib/gcc/i686-w64-mingw32/*-win32/libssp-0.dll)"

# Full-screen pictures with dithered palettes, from Adwaita's icons.
icons=/usr/share/icons/Adwaita/512x512
"$convert" "$(first $icons/mimetypes/image-x-generic.png)" -background black -alpha remove \
  -resize '640x480!' -dither FloydSteinberg -colors 16 -type Palette "BMP3:$out/picture-4bit.bmp"
"$convert" "$(first $icons/devices/camera-web.png)" -background '#204060' -alpha remove \
  -resize '640x480!' -dither FloydSteinberg -colors 256 -type Palette "BMP3:$out/picture-8bit.bmp"

# A short plucked-string tune, 22050 Hz 16-bit mono, from a fixed seed.
python3 - "$out/chime.wav" <<'PY'
import struct, sys, wave
rate, seed = 22050, 1
def noise():
    global seed
    seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
    return (seed >> 8) / float(1 << 22) - 1.0
notes = [392.0, 523.3, 659.3, 784.0, 659.3, 523.3, 587.3, 493.9]
samples = [0.0] * int(rate * 0.35 * len(notes) + rate)
for i, freq in enumerate(notes):
    period = int(rate / freq)
    ring = [noise() for _ in range(period)]
    start = int(i * rate * 0.35)
    for n in range(int(rate * 1.2)):
        v = ring[n % period]
        ring[n % period] = 0.996 * 0.5 * (v + ring[(n + 1) % period])
        if start + n < len(samples):
            samples[start + n] += 0.45 * v
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(1)
    w.setsampwidth(2)
    w.setframerate(rate)
    w.writeframes(b"".join(struct.pack("<h", max(-32767, min(32767, int(s * 32767)))) for s in samples))
PY

# English text.
cp "$(first /usr/share/common-licenses/GPL-3)" "$out/gpl-3.txt"

ls -l "$out"
