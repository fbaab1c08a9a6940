#!/bin/sh
# The tevra command's waveform file tools on real files: burst RMS, a normalised folder, idle padding and a
# sequence file shown from its golden copy; a 40 MHz HT waveform.
set -eu
tevra=$1
golden=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
# 8 samples at I = level, Q = 0 each.
segment() { /usr/bin/python3 -c "import struct,sys; sys.stdout.buffer.write(struct.pack('>hh', $1, 0) * 8)" >"$2"; }
segment 1000 "$dir/a.wf1"
segment 4000 "$dir/b.wf1"
"$tevra" burst-rms "$dir/a.wf1" | grep -Eq "^1000 +8  $dir/a.wf1$"
"$tevra" normalize "$dir/" | grep -q "^2 files measured and scaled$"
"$tevra" burst-rms "$dir/b.wf1_R" | grep -Eq "^1000 +8 "
"$tevra" pad-idle "$dir/a.wf1" 0.5
[ "$(wc -c <"$dir/a.wf1")" -eq 48 ] && [ "$(wc -c <"$dir/a.wf1.bak")" -eq 32 ]
! "$tevra" pad-idle "$dir/a.wf1" -1 2>/dev/null
! "$tevra" burst-rms "$dir/missing.wf1" 2>/dev/null
"$tevra" show-sequence "$golden/two_entries.seq" | grep -Eq "^  x{23} +x 16777215$"
# A 40 MHz HT burst at the generator's default 40 MHz clock: 1440 preamble samples and DATA symbols of 160 samples
# at MCS 0 for 100 bytes (16), then 16 us idle (640), 4 bytes a sample.
"$tevra" waveform 11n --width 40 --mcs 0 --length 100 --idle-us 16 --out "$dir/ht40.wf1" >/dev/null
[ "$(wc -c <"$dir/ht40.wf1")" -eq 18560 ]
! "$tevra" waveform 11n --width 30 --out "$dir/bad.wf1" 2>/dev/null
