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
for command in list format merge; do
  cp "$book" "$copy"
  case $command in
    list) "$tool" list "$copy" >>"$copy" 2>/dev/null ;;
    format) "$tool" format "$copy" >>"$copy" 2>/dev/null ;;
    merge) "$tool" merge "$copy" "$copy" -o - >>"$copy" 2>/dev/null ;;
  esac
  status=$?
  [ "$status" = 2 ] || { echo "FAIL: $command ended with status $status"; exit 1; }
  cmp -s "$book" "$copy" || { echo "FAIL: $command changed its input"; exit 1; }
done
echo "PASS: list, format and merge refuse standard output appended to their input"
