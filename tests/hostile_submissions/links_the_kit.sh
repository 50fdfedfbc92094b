# A build that leaves, instead of a simulator of its own, a link to the
# kit's reference simulator where the kit installs it.
ln -s /usr/bin/zor_simulator simulator
