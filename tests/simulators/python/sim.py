# sim.py
# A simulator of the ZOR day as a student writes it in Python: the records
# in a module beside it (zor_records.py), imported by name, so that a run
# finds the program only with its folder beside it; one heap of pending
# events.
import heapq
import sys

import zor_records

STATIONS = 3


def main():
    with open("ZOR_Binary_In", "rb") as f:
        day = zor_records.read_day(f.read())
    servers = [int(word) for word in sys.stdin.readline().split() + sys.stdin.readline().split()
               + sys.stdin.readline().split()]
    out = [[0] * 23 for _ in day]
    busy = [[False] * (n + 1) for n in servers]
    queue = [[] for _ in range(STATIONS)]
    # (time, 0 for a departure and 1 for an arrival, order, customer,
    # station, server): departures first at one instant, by station and
    # server; arrivals by customer.
    pending = []
    arrived = 0
    for c, customer in enumerate(day):
        arrived += customer[0]
        out[c][0], out[c][1] = c + 1, arrived
        out[c][15:23] = customer
        heapq.heappush(pending, (arrived + customer[1], 1, c, c, 0, 0))

    def start(c, s, k, now):
        busy[s][k] = True
        out[c][4 + 4 * s] = k
        heapq.heappush(pending, (now + day[c][2 + 2 * s], 0, s * 100 + k, c, s, k))

    while pending:
        now, kind, _, c, s, k = heapq.heappop(pending)
        if kind == 1:
            out[c][2 + 4 * s] = now
            out[c][3 + 4 * s] = len(queue[s])
            free = next((k for k in range(1, servers[s] + 1) if not busy[s][k]), 0)
            if free:
                start(c, s, free, now)
            else:
                queue[s].append(c)
            continue
        out[c][5 + 4 * s] = now
        busy[s][k] = False
        if queue[s]:
            start(queue[s].pop(0), s, k, now)
        n = s + 1
        while n < STATIONS and day[c][2 + 2 * n] == 0:
            n += 1
        if n == STATIONS:
            out[c][14] = now + day[c][7]
        else:
            heapq.heappush(pending, (now + day[c][3 if n == 1 else 5], 1, c, c, n, 0))

    with open("ZOR_Binary_Out", "wb") as f:
        f.write(zor_records.write_results(out))


main()
