#!/bin/sh
# Leaves a marker named $1 in $HOME: the box's HOME is the run's own
# folder, so there it stays inside.
echo "a run was here" > "$HOME/$1"
