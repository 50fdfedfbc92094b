#!/bin/sh
# A simulator that writes 60 MiB and a byte of ZOR_Binary_Out, far more
# than any day's records, on every day: whoever reads it back must not
# hold it. One file in its own folder, nothing else.
read LAB; read X_RAY; read EKG
head -c 62914561 /dev/zero > ZOR_Binary_Out
