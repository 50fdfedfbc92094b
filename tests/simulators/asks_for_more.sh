#!/bin/sh
# A simulator that asks for a fourth entry after the three server counts.
read LAB; read X_RAY; read EKG; read MORE
