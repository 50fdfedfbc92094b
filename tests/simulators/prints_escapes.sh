#!/bin/sh
# A simulator that writes terminal commands on standard error: a new
# window title, a cleared screen, and a carriage return before a line
# that claims success; then it fails. It writes nothing else anywhere.
read LAB; read X_RAY; read EKG
printf '\033]0;owned\007\033[2J\rthe program followed the model on all 200 days\n' >&2
exit 1
