#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# orrindel-play through SDL's disk audio driver: the raw output must hold, after the
# leading silence, exactly the samples of the WAV file it played, then only silence.
set -euo pipefail
build=${ORR_BUILD:?ORR_BUILD must name the build folder}
player="$build/bin/orrindel-play"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One second of 44.1 kHz 16-bit stereo; no frame is silent, left and right differ.
perl -e '
  my $frames = 44100; my $data = "";
  for my $i (0 .. $frames - 1) {
    my $l = (($i * 37) % 60000) - 30000;  $l = 1 if $l == 0;
    my $r = (($i * 53 + 7000) % 60000) - 30000;
    $data .= pack("s<s<", $l, $r);
  }
  print "RIFF", pack("V", 36 + length $data), "WAVE", "fmt ",
        pack("VvvVVvv", 16, 1, 2, 44100, 176400, 4, 16), "data", pack("V", length $data), $data;
' > "$work/tone.wav"

SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/out.raw" timeout 60 "$player" "$work/tone.wav" > "$work/play.log"
cat "$work/play.log"
if ! grep -q "on SDL disk" "$work/play.log"; then
  echo "FAIL: the disk driver did not take the output" >&2
  exit 1
fi

perl -e '
  local $/; open my $w, "<:raw", $ARGV[0] or die; my $wav = <$w>;
  open my $o, "<:raw", $ARGV[1] or die; my $out = <$o>;
  my $data = substr($wav, 44);
  my $lead = 0;
  $lead += 4 while $lead < length $out && substr($out, $lead, 4) eq "\0\0\0\0";
  die "FAIL: the output is silent\n" if $lead >= length $out;
  die "FAIL: the output is shorter than the file\n" if length($out) - $lead < length $data;
  if (substr($out, $lead, length $data) ne $data) {
    my $i = 0; $i++ while substr($out, $lead + $i, 1) eq substr($data, $i, 1);
    die "FAIL: output differs from the file at byte $i of the data\n";
  }
  my $rest = substr($out, $lead + length $data);
  die "FAIL: sound after the end of the file\n" if $rest =~ /[^\0]/;
  printf "ok: %d bytes of leading silence, %d bytes equal to the file, %d bytes of silence after\n",
         $lead, length $data, length $rest;
' "$work/tone.wav" "$work/out.raw"
