// Binary records are little-endian on every host. Both paths of the
// conversion are taken here on any host: the memory image a big-endian
// host would hold is written out by hand, so the byte-swapping path is
// tested even where the machine never needs it.
#include <bit>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/customer_parameters.h"
#include "common/record_io.h"

namespace {

// Three words as a host of each order holds them in memory, and the one
// file image both must give: 1, -2, 0x01020304, low byte first.
const unsigned char File_Image[12] = {1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 4, 3, 2, 1};
const unsigned char Big_Endian_Memory[12] = {0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFE, 1, 2, 3, 4};

struct Host_Case {
  std::endian Host;
  const unsigned char* Memory;
};

std::string Stream_Bytes(std::FILE* Stream) {
  std::rewind(Stream);
  std::string Bytes;
  for (int C; (C = std::fgetc(Stream)) != EOF;) Bytes.push_back(static_cast<char>(C));
  return Bytes;
}

const std::string Expected(reinterpret_cast<const char*>(File_Image), sizeof File_Image);

}  // namespace

TEST(Little_Endian, EveryWayInAndOutGivesTheSameFileOnEitherHost) {
  const Host_Case Cases[] = {{std::endian::little, File_Image}, {std::endian::big, Big_Endian_Memory}};
  for (const Host_Case& C : Cases) {
    SCOPED_TRACE(C.Host == std::endian::big ? "big-endian host" : "little-endian host");
    // A record, written and read back.
    std::FILE* Stream = std::tmpfile();
    ASSERT_TRUE(Write_Int32_Record(Stream, C.Memory, 12, C.Host));
    EXPECT_EQ(Stream_Bytes(Stream), Expected);
    std::rewind(Stream);
    unsigned char Back[12];
    ASSERT_TRUE(Read_Int32_Record(Stream, Back, 12, C.Host));
    EXPECT_EQ(std::memcmp(Back, C.Memory, 12), 0);
    EXPECT_FALSE(Read_Int32_Record(Stream, Back, 12, C.Host)) << "at the end of the file";
    std::fclose(Stream);

    // Items, in blocks; the items written are left as they were.
    int32_t Items[3];
    std::memcpy(Items, C.Memory, 12);
    Stream = std::tmpfile();
    ASSERT_TRUE(Write_Int32_Items(Stream, Items, 3, C.Host));
    EXPECT_EQ(std::memcmp(Items, C.Memory, 12), 0);
    EXPECT_EQ(Stream_Bytes(Stream), Expected);
    std::fputc(0x7F, Stream);  // a trailing partial item is not an item
    std::rewind(Stream);
    int32_t Read[4];
    EXPECT_EQ(Read_Int32_Items(Stream, Read, 4, C.Host), 3u);
    EXPECT_EQ(std::memcmp(Read, C.Memory, 12), 0);
    std::fclose(Stream);
  }
}

TEST(Little_Endian, RecordImagesAndTheNativePath) {
  // On this host, whatever its order, values go out low byte first.
  Customer_Parameters R{1, -2, 0x01020304, 0, 0, 0, 0, 149};
  std::string Image = Records_Image(std::vector<Customer_Parameters>{R, R});
  ASSERT_EQ(Image.size(), 64u);
  EXPECT_EQ(Image.substr(0, 12), Expected);
  EXPECT_EQ(static_cast<unsigned char>(Image[28]), 149);
  EXPECT_EQ(Image.substr(32), Image.substr(0, 32));

  std::FILE* Stream = std::tmpfile();
  std::fwrite(Image.data(), 1, Image.size() - 1, Stream);  // the second record cut short
  std::rewind(Stream);
  std::vector<Customer_Parameters> Back;
  EXPECT_TRUE(Read_All_Records(Stream, &Back));
  ASSERT_EQ(Back.size(), 1u);
  EXPECT_EQ(std::memcmp(&Back[0], &R, sizeof R), 0);
  std::fclose(Stream);
}
