# The honest build: the simulator handed in, under the name the grader runs.
cp sim.bin simulator
