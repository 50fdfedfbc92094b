#!/bin/sh
# Takes away every permission on what it made and on its own folder, so
# that cleaning up after it must give them back first.
mkdir -p kept/deeper && echo x > kept/deeper/file && mkfifo kept/pipe && ln -s / kept/root
chmod 000 kept/deeper kept
chmod 500 .
