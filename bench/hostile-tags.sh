#!/bin/bash
# Peak memory and time of converting an MP3 whose ID3v2.3 tag has a compressed frame that
# inflates to 256 MiB (the frame is left out at 16 MiB): to MP3 and to FLAC.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
SOURCE="$WORK/compressed-frame.mp3"
python3 -c 'import math, struct, sys, wave
w = wave.open(sys.argv[1], "wb"); w.setnchannels(2); w.setsampwidth(2); w.setframerate(44100)
w.writeframes(b"".join(struct.pack("<hh", v, v) for v in (int(8000 * math.sin(i * 0.05)) for i in range(44100 * 30))))' "$WORK/thirty-seconds.wav"
"$SONMILL" qzv -y -i "$WORK/thirty-seconds.wav" -ab 128k "$WORK/thirty-seconds.mp3" >/dev/null 2>&1
python3 - "$WORK/thirty-seconds.mp3" "$SOURCE" <<'PY'
import struct, sys, zlib
audio = open(sys.argv[1], 'rb').read()
if audio.startswith(b'ID3'):
    s = audio[6:10]
    audio = audio[10 + ((s[0] << 21) | (s[1] << 14) | (s[2] << 7) | s[3]):]
z = zlib.compressobj(9)
stream = b''.join(z.compress(bytes(1 << 20)) for _ in range(256)) + z.flush()
body = struct.pack('>I', 256 << 20) + stream
frame = b'TXXX' + struct.pack('>I', len(body)) + b'\x00\x80' + body
size = len(frame)
header = b'ID3\x03\x00\x00' + bytes([(size >> 21) & 127, (size >> 14) & 127, (size >> 7) & 127, size & 127])
open(sys.argv[2], 'wb').write(header + frame + audio)
PY
for out in mp3 flac; do
  /usr/bin/time -f "$out: %M KiB peak, %e s, %U s user" "$SONMILL" qzv -y -i "$SOURCE" "$WORK/compressed-frame-out.$out" 2>&1 \
    | grep -E "Tags:|peak|Error" 
done
