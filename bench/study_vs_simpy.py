#!/usr/bin/python3
"""How fast zor_study simulates days, against the same days in SimPy.

The baseline is an equivalent model of the ZOR day written with SimPy
(Debian's python3-simpy, the SimPy 2 API): one FIFO resource per station,
each customer a process that walks LAB, X_RAY and EKG as its record says.
Before timing anything, the script checks on a few days that both models
give every customer the same departure times, from ZOR_Binary_Out of the
kit's zor_simulator.

Every ratio comes from one run of this script on this machine (SimPy the
best of three rounds, zor_study the best of five runs), at each load (8
and 12 customers per slot, servers 5,4,2):
  - zor_study's days per second on one thread over SimPy's (goal >= 100);
  - zor_study on every core over zor_study on one thread (goal >= 1.8);
  - a whole staffing search over one staffing, on the same days.

Usage: /usr/bin/python3 bench/study_vs_simpy.py [BUILD_FOLDER]   (default build-release)
"""
import os
import struct
import subprocess
import sys
import tempfile
import time

from SimPy.Simulation import Process, Resource, activate, hold, initialize, now, release, request, simulate

LOADS = (8, 12)
PER_SLOT = LOADS[0]
SERVERS = (5, 4, 2)


def read_day(path):
    data = open(path, "rb").read()
    return [struct.unpack_from("<8i", data, k * 32) for k in range(len(data) // 32)]


# The kit's model breaks ties at one instant: departures before arrivals,
# simultaneous arrivals in customer order. SimPy orders events at one
# instant by when they were scheduled, so the model runs on a finer clock:
# an instant t is t * SCALE, departures fall on whole instants, and
# customer k arrives anywhere at t * SCALE + k + 1, after the departures
# and after every lower-numbered customer arriving then.
SCALE = 1 << 20


class Customer(Process):
    def walk(self, k, record, stations, departed):
        (_, to_lab, lab, to_x_ray, x_ray, to_ekg, ekg, to_exit) = record
        for travel, service, station in ((to_lab, lab, 0), (to_x_ray, x_ray, 1), (to_ekg, ekg, 2)):
            if station > 0 and service == 0:
                continue
            yield hold, self, travel * SCALE + k + 1
            yield request, self, stations[station]
            start = now() // SCALE
            yield hold, self, (start + service) * SCALE - now()
            yield release, self, stations[station]
        yield hold, self, to_exit * SCALE
        departed.append(now() // SCALE)


def simpy_day(day):
    """Every customer's departure from ZOR, in customer order."""
    initialize()
    stations = [Resource(capacity=c) for c in SERVERS]
    arrived = 0
    departures = []
    for k, record in enumerate(day):
        arrived += record[0]
        customer = Customer(name=str(k))
        departed = []
        departures.append(departed)
        activate(customer, customer.walk(k, record, stations, departed), at=arrived * SCALE)
    simulate(until=10**18)
    return [d[0] for d in departures]


def kit_day(build, folder, seed):
    entries = "%d\n%d\n" % (PER_SLOT, seed)
    subprocess.run([build + "/workload_maker/workload_maker"], input=entries.encode(), cwd=folder,
                   capture_output=True, check=True)
    servers = "%d\n%d\n%d\n" % SERVERS
    subprocess.run([build + "/simulator/zor_simulator"], input=servers.encode(), cwd=folder,
                   capture_output=True, check=True)
    results = open(os.path.join(folder, "ZOR_Binary_Out"), "rb").read()
    departures = [struct.unpack_from("<23i", results, k * 92)[14] for k in range(len(results) // 92)]
    return read_day(os.path.join(folder, "ZOR_Binary_In")), departures


def study_seconds(build, days, threads, search):
    """The best of five whole zor_study runs: one staffing, or a search."""
    command = [build + "/study/zor_study", "--per-slot", str(PER_SLOT), "--days", str(days), "--csv",
               "--threads", str(threads)]
    command += ["--target-wait", "300"] if search else ["--servers", "%d,%d,%d" % SERVERS]
    best = None
    for _ in range(5):
        start = time.perf_counter()
        subprocess.run(command, capture_output=True, check=True, text=True)
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    return best


def main():
    global PER_SLOT
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build-release")
    cores = os.cpu_count() or 1
    for load in LOADS:
        PER_SLOT = load
        with tempfile.TemporaryDirectory() as folder:
            days = []
            for seed in range(1, 6):
                day, departures = kit_day(build, folder, seed)
                if simpy_day(day) != departures:
                    print("%d per slot, seed %d: SimPy's departure times DIFFER from zor_simulator's" % (load, seed))
                    sys.exit(1)
                days.append(day)
        print("%d customers per slot, servers %d,%d,%d: SimPy and zor_simulator agree on 5 days" % ((load,) + SERVERS))
        simpy_days = 40
        simpy_rate = 0
        for _ in range(3):  # the best of three rounds, as zor_study gets the best of five runs
            start = time.perf_counter()
            for i in range(simpy_days):
                simpy_day(days[i % len(days)])
            simpy_rate = max(simpy_rate, simpy_days / (time.perf_counter() - start))
        study_days = 20000
        one = study_days / study_seconds(build, study_days, 1, False)
        every = study_days / study_seconds(build, study_days, cores, False)
        search = study_seconds(build, study_days, 1, True)
        print("  SimPy:                           %9.1f days/s on one core" % simpy_rate)
        print("  zor_study, one staffing, 1 thread: %9.1f days/s   %6.1f x SimPy   (goal >= 100)" %
              (one, one / simpy_rate))
        print("  zor_study, one staffing, %d threads: %7.1f days/s   %6.2f x 1 thread (goal >= 1.8)" %
              (cores, every, every / one))
        print("  zor_study, search (--target-wait 300), 1 thread: %.1f s = %.1f x one staffing (goal <= 4)" %
              (search, search * one / study_days))


if __name__ == "__main__":
    main()
