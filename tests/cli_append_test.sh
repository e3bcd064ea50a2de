#!/bin/sh
# Standard output that the shell appends to an input ("... >> FILE") is
# refused with status 2, and the input stays as it was, for every command
# that writes there.
#
# Usage: cli_append_test.sh <nummernwerk-cli> <phonebook> <work folder>
set -u
tool=$1
book=$2
work=$3
mkdir -p "$work"
copy="$work/buch.xml"
for command in list format merge check dupes dedupe convert set add; do
  cp "$book" "$copy"
  case $command in
    list) "$tool" list "$copy" >>"$copy" 2>/dev/null ;;
    format) "$tool" format "$copy" >>"$copy" 2>/dev/null ;;
    merge) "$tool" merge "$copy" "$copy" -o - >>"$copy" 2>/dev/null ;;
    check) "$tool" check "$copy" >>"$copy" 2>/dev/null ;;
    dupes) "$tool" dupes "$copy" >>"$copy" 2>/dev/null ;;
    dedupe) "$tool" dedupe "$copy" -o - >>"$copy" 2>/dev/null ;;
    convert) "$tool" convert "$copy" - --format vcf >>"$copy" 2>/dev/null ;;
    set) "$tool" set "$copy" "$("$tool" list "$copy" | sed -n '2s/\t.*//p')" --vip -o - >>"$copy" 2>/dev/null ;;
    add) "$tool" add "$copy" --name Neu -o - >>"$copy" 2>/dev/null ;;
  esac
  status=$?
  [ "$status" = 2 ] || { echo "FAIL: $command ended with status $status"; exit 1; }
  cmp -s "$book" "$copy" || { echo "FAIL: $command changed its input"; exit 1; }
done
echo "PASS: every command refuses standard output appended to its input"
