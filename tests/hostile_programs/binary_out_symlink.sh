#!/bin/sh
# Leaves ZOR_Binary_Out as a link to the file $1 outside its folder, for
# the checker to read and copy as if it were its output.
ln -s "$1" ZOR_Binary_Out
