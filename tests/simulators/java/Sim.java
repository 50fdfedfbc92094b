// Sim.java
// A simulator of the ZOR day as a student writes it in Java: the day read
// from ZOR_Binary_In, the three server counts from standard input, one
// queue of pending events, and ZOR_Binary_Out written as little-endian
// records. The records live in a class of their own (Day.java), so that a
// run finds the program only with every class file beside it.
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.ArrayDeque;
import java.util.PriorityQueue;
import java.util.Scanner;

public class Sim {
  static final int STATIONS = 3;

  // Departures before arrivals at one instant; departures by station and
  // server, arrivals by customer.
  record Event(long time, boolean departure, int station, int server, int customer) {}

  static int before(Event a, Event b) {
    if (a.time() != b.time()) return Long.compare(a.time(), b.time());
    if (a.departure() != b.departure()) return a.departure() ? -1 : 1;
    if (a.departure()) return Integer.compare(a.station() * 100 + a.server(), b.station() * 100 + b.server());
    return Integer.compare(a.customer(), b.customer());
  }

  public static void main(String[] args) throws IOException {
    int[][] day = Day.read(Files.readAllBytes(Paths.get("ZOR_Binary_In")));
    Scanner in = new Scanner(System.in);
    int[] servers = {in.nextInt(), in.nextInt(), in.nextInt()};
    int count = day.length;
    int[][] out = new int[count][23];
    boolean[][] busy = new boolean[STATIONS][servers[0] + servers[1] + servers[2] + 2];
    @SuppressWarnings("unchecked")
    ArrayDeque<Integer>[] queue = new ArrayDeque[STATIONS];
    for (int s = 0; s < STATIONS; s++) queue[s] = new ArrayDeque<>();
    PriorityQueue<Event> pending = new PriorityQueue<>(Sim::before);
    long arrived = 0;
    for (int c = 0; c < count; c++) {
      arrived += day[c][0];
      out[c][0] = c + 1;
      out[c][1] = (int) arrived;
      System.arraycopy(day[c], 0, out[c], 15, 8);
      pending.add(new Event(arrived + day[c][1], false, 0, 0, c));
    }
    while (!pending.isEmpty()) {
      Event e = pending.poll();
      int c = e.customer(), s = e.station();
      if (!e.departure()) {
        out[c][2 + 4 * s] = (int) e.time();
        out[c][3 + 4 * s] = queue[s].size();
        int free = 0;
        for (int k = 1; k <= servers[s] && free == 0; k++) if (!busy[s][k]) free = k;
        if (free != 0) start(day, out, busy, pending, c, s, free, e.time());
        else queue[s].addLast(c);
        continue;
      }
      out[c][5 + 4 * s] = (int) e.time();
      busy[s][e.server()] = false;
      if (!queue[s].isEmpty()) start(day, out, busy, pending, queue[s].pollFirst(), s, e.server(), e.time());
      int next = s + 1;
      while (next < STATIONS && Day.service(day[c], next) == 0) next++;
      if (next == STATIONS) out[c][14] = (int) (e.time() + day[c][7]);
      else pending.add(new Event(e.time() + (next == 1 ? day[c][3] : day[c][5]), false, next, 0, c));
    }
    Files.write(Paths.get("ZOR_Binary_Out"), Day.write(out));
  }

  static void start(int[][] day, int[][] out, boolean[][] busy, PriorityQueue<Event> pending, int c, int s, int k,
                    long now) {
    busy[s][k] = true;
    out[c][4 + 4 * s] = k;
    pending.add(new Event(now + Day.service(day[c], s), true, s, k, c));
  }
}
