#!/usr/bin/env bash
# Remakes the seed corpus of every fuzz target from the kit's own programs
# and a few crafted edge cases. Inputs that ever found a fault are kept
# apart, in fuzz/regressions/TARGET/, and never remade.
# Usage: bash fuzz/make_seed_corpus.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
corpus=$(cd "$(dirname "$0")" && pwd)/corpus
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
int32() { python3 -c 'import struct,sys; sys.stdout.buffer.write(b"".join(struct.pack("<i", int(v)) for v in sys.argv[1:]))' "$@"; }
rm -f "$corpus"/*/*

# Days and results from the kit: one customer per slot, and a busy day cut to 40 customers.
(cd "$work" && printf '1\n1\n' | "$build/workload_maker/workload_maker" > /dev/null 2>&1 && printf '1\n1\n1\n' |
  "$build/simulator/zor_simulator" > /dev/null 2>&1 && cp ZOR_Binary_In day1 && cp ZOR_Binary_Out out1 &&
  printf '12\n17\n' | "$build/workload_maker/workload_maker" > /dev/null 2>&1 && head -c 1280 ZOR_Binary_In > day2 &&
  cp day2 ZOR_Binary_In && printf '2\n1\n1\n' | "$build/simulator/zor_simulator" > /dev/null 2>&1 && cp ZOR_Binary_Out out2)
# Crafted days: arrivals at one instant, zero times, a negative time, times past 2^31 - 1, a record cut short.
int32 0 0 5 0 0 0 0 0  0 0 5 0 7 0 0 0  0 0 0 0 0 0 3 0 > "$work/ties"
int32 0 -1 10 0 0 0 0 5 > "$work/negative"
int32 2147483000 100 1000 0 0 0 0 5 > "$work/too_late"
{ cat "$work/ties"; printf 'x'; } > "$work/cut"

servers() { int32 "$1" "$2" "$3"; }
for day in day1 day2 ties negative too_late cut; do { servers 0 1 2; cat "$work/$day"; } > "$corpus/day/$day"; done
: > "$corpus/day/empty"
for out in out1 out2; do cp "$work/$out" "$corpus/results/$out"; done
{ cat "$work/out2"; printf 'abc'; } > "$corpus/results/cut"
cp "$work/day1" "$corpus/results/parameters"
: > "$corpus/results/empty"
# The checker: servers, the day's length, the day, then results (the reference's, or another day's).
pair() { { servers "$1" "$2" "$3"; int32 "$(stat -c %s "$work/$4")"; cat "$work/$4" "$work/$5"; } > "$corpus/checker/$6"; }
pair 0 0 0 day1 out1 follows
pair 1 0 0 day1 out1 other_servers
pair 1 0 0 day2 out2 busy
pair 0 0 0 day2 out1 other_day
# Raw: empty, one item cut short, a few items.
: > "$corpus/raw/empty"
printf 'abcdefg' > "$corpus/raw/seven_bytes"
int32 5 -1 2147483647 -2147483648 0 > "$corpus/raw/five"
# Entries as typed.
for entry in '12\n' '  -3\n' '+0\n' '007\n' '2147483647\n' '2147483648\n' '-2147483648\n' '-2147483649\n' \
             '99999999999999999999\n' 'abc\n' '5 \n' '\n\t 9' '' '-\n'; do
  printf -- "$entry" > "$corpus/entries/$(printf -- "%s" "$entry" | md5sum | cut -c1-12)"
done
# Traces: the reference's own (shape 0x10000 replays it), one cut, one altered, free text.
int32 65536 1 2 3 > "$corpus/trace/reference"
{ int32 196608 9 8 7; printf '\x20'; } > "$corpus/trace/cut"
{ int32 65541 4 5 6 7 8 9; printf '\x03Q'; } > "$corpus/trace/altered"
{ int32 2 1; printf '   Time Customer Place Event  Server Waiting\n      0        1 ZOR   ARRIVE      0       1\n'; } > "$corpus/trace/text"
# Lists: laid out and left alone, and scrambled.
int32 5 3 1 4 1 5 > "$corpus/list_judge/untouched"
{ int32 4 9 2 6 1; int32 33 50 0 17 18; } > "$corpus/list_judge/scrambled"
: > "$corpus/list_judge/empty"
# A program's text: terminal commands, a formula, marks that reorder a line, bytes that are not UTF-8.
mkdir -p "$corpus/shown_text"
printf '\033]0;owned\007\033[2J\rthe program followed the model on all 200 days\n' > "$corpus/shown_text/terminal_title_and_clear"
printf '=HYPERLINK("http://127.0.0.1:9/?"&A1,"details")' > "$corpus/shown_text/csv_formula"
printf 'x, "y"\r\nz' > "$corpus/shown_text/csv_quoting"
printf 'abc \xe2\x80\xae cba \xc2\x9b2J \xef\xbf\xbe' > "$corpus/shown_text/reordering_and_c1"
printf 'bad \xff cut \xe2\x82 over \xe0\x80\xaf surrogate \xed\xa0\x80 ok caf\xc3\xa9 \xf0\x9f\x98\x80' > "$corpus/shown_text/not_utf8"
ls "$corpus"/* | wc -l
