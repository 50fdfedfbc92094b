// sim.go
// A simulator of the ZOR day as a student writes it in Go: the day read
// from ZOR_Binary_In, the three server counts from standard input, a heap
// of pending events, and ZOR_Binary_Out written as little-endian records.
package main

import (
	"container/heap"
	"encoding/binary"
	"fmt"
	"os"
)

const stations = 3

// Departures before arrivals at one instant; departures by station and
// server, arrivals by customer.
type event struct {
	time                       int64
	departure                  bool
	station, server, customer int
}

type events []event

func (e events) Len() int { return len(e) }
func (e events) Less(i, j int) bool {
	a, b := e[i], e[j]
	if a.time != b.time {
		return a.time < b.time
	}
	if a.departure != b.departure {
		return a.departure
	}
	if a.departure {
		return a.station*100+a.server < b.station*100+b.server
	}
	return a.customer < b.customer
}
func (e events) Swap(i, j int)       { e[i], e[j] = e[j], e[i] }
func (e *events) Push(x interface{}) { *e = append(*e, x.(event)) }
func (e *events) Pop() interface{} {
	old := *e
	last := old[len(old)-1]
	*e = old[:len(old)-1]
	return last
}

func main() {
	bytes, err := os.ReadFile("ZOR_Binary_In")
	if err != nil {
		os.Exit(1)
	}
	day := make([][8]int32, len(bytes)/32)
	for c := range day {
		for f := 0; f < 8; f++ {
			day[c][f] = int32(binary.LittleEndian.Uint32(bytes[32*c+4*f:]))
		}
	}
	var servers [stations]int
	if _, err := fmt.Scan(&servers[0], &servers[1], &servers[2]); err != nil {
		os.Exit(1)
	}
	out := make([][23]int32, len(day))
	var busy [stations][]bool
	var queue [stations][]int
	for s := range busy {
		busy[s] = make([]bool, servers[s]+1)
	}
	pending := &events{}
	start := func(c, s, k int, now int64) {
		busy[s][k] = true
		out[c][4+4*s] = int32(k)
		heap.Push(pending, event{now + int64(day[c][2+2*s]), true, s, k, c})
	}
	var arrived int64
	for c := range day {
		arrived += int64(day[c][0])
		out[c][0], out[c][1] = int32(c+1), int32(arrived)
		copy(out[c][15:], day[c][:])
		heap.Push(pending, event{arrived + int64(day[c][1]), false, 0, 0, c})
	}
	for pending.Len() > 0 {
		e := heap.Pop(pending).(event)
		c, s := e.customer, e.station
		if !e.departure {
			out[c][2+4*s] = int32(e.time)
			out[c][3+4*s] = int32(len(queue[s]))
			free := 0
			for k := 1; k <= servers[s] && free == 0; k++ {
				if !busy[s][k] {
					free = k
				}
			}
			if free != 0 {
				start(c, s, free, e.time)
			} else {
				queue[s] = append(queue[s], c)
			}
			continue
		}
		out[c][5+4*s] = int32(e.time)
		busy[s][e.server] = false
		if len(queue[s]) > 0 {
			next := queue[s][0]
			queue[s] = queue[s][1:]
			start(next, s, e.server, e.time)
		}
		n := s + 1
		for n < stations && day[c][2+2*n] == 0 {
			n++
		}
		if n == stations {
			out[c][14] = int32(e.time + int64(day[c][7]))
		} else if n == 1 {
			heap.Push(pending, event{e.time + int64(day[c][3]), false, n, 0, c})
		} else {
			heap.Push(pending, event{e.time + int64(day[c][5]), false, n, 0, c})
		}
	}
	result := make([]byte, 0, 92*len(out))
	for _, record := range out {
		for _, value := range record {
			result = binary.LittleEndian.AppendUint32(result, uint32(value))
		}
	}
	if os.WriteFile("ZOR_Binary_Out", result, 0o644) != nil {
		os.Exit(1)
	}
}
