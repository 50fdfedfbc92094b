// Day.java
// The records of the ZOR day as bytes: 8 little-endian ints a customer in,
// 23 out.
import java.nio.ByteBuffer;
import java.nio.ByteOrder;

final class Day {
  static int[][] read(byte[] bytes) {
    ByteBuffer b = ByteBuffer.wrap(bytes).order(ByteOrder.LITTLE_ENDIAN);
    int[][] day = new int[bytes.length / 32][8];
    for (int[] customer : day)
      for (int f = 0; f < 8; f++) customer[f] = b.getInt();
    return day;
  }

  static int service(int[] customer, int station) { return customer[2 + 2 * station]; }

  static byte[] write(int[][] out) {
    ByteBuffer b = ByteBuffer.allocate(out.length * 92).order(ByteOrder.LITTLE_ENDIAN);
    for (int[] record : out)
      for (int value : record) b.putInt(value);
    return b.array();
  }
}
