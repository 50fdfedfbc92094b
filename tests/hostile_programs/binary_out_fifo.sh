#!/bin/sh
# Leaves ZOR_Binary_Out as a FIFO that nobody writes: a reader that opens
# it waits for ever.
mkfifo ZOR_Binary_Out
