#!/bin/sh
# Prints the version information's strings of Windows executable <exe>, one
# a line, then "icon: " and what its icon is, as icoutils read them:
#
#   windows-resources.sh <exe>
set -eu
wrestool --extract --raw --type=16 "$1" | iconv -f UTF-16LE -t UTF-8 | tr -c '[:print:]' '\n' | grep -v '^$'
echo "icon: $(wrestool --extract --type=group_icon "$1" | file -b -)"
