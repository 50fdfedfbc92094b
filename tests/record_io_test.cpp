// Binary records are little-endian on every host.
#include <cstring>

#include <gtest/gtest.h>

#include "common/customer_parameters.h"
#include "common/record_io.h"

TEST(Little_Endian, WordReversalAndRecordImage) {
  unsigned char Words[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  Reverse_Int32_Words(Words, sizeof Words);
  const unsigned char Reversed[8] = {4, 3, 2, 1, 8, 7, 6, 5};
  EXPECT_EQ(std::memcmp(Words, Reversed, 8), 0);

  // The file image of a record is its fields in order, low byte first.
  Customer_Parameters R{1, -2, 0x01020304, 0, 0, 0, 0, 149};
  std::FILE* Stream = std::tmpfile();
  ASSERT_TRUE(Write_Int32_Record(Stream, &R, sizeof R));
  std::rewind(Stream);
  unsigned char Image[32];
  ASSERT_EQ(std::fread(Image, 1, 32, Stream), 32u);
  const unsigned char Head[12] = {1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 4, 3, 2, 1};
  EXPECT_EQ(std::memcmp(Image, Head, 12), 0);
  EXPECT_EQ(Image[28], 149);

  std::rewind(Stream);
  Customer_Parameters Back{};
  ASSERT_TRUE(Read_Int32_Record(Stream, &Back, sizeof Back));
  EXPECT_EQ(std::memcmp(&Back, &R, sizeof R), 0);
  EXPECT_FALSE(Read_Int32_Record(Stream, &Back, sizeof Back));
  std::fclose(Stream);
}
