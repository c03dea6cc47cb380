// Memory and file streams: reads at the end, gaps, round trips and errors.
#include "runtime/Streams.h"

#include <gtest/gtest.h>

#include <cstdio>

TEST(Streams, MemoryStreamReadsOnlyWhatIsThere) {
  TMemoryStream stream;
  stream.WriteBuffer("abcdef", 6);
  EXPECT_EQ(stream.Position(), 6);
  stream.SetPosition(4);
  char buffer[8] = {};
  EXPECT_EQ(stream.Read(buffer, 8), 2);
  EXPECT_EQ(std::string(buffer, 2), "ef");
  stream.SetPosition(4);
  EXPECT_THROW(stream.ReadBuffer(buffer, 3), EReadError);
  EXPECT_THROW(stream.ReadBuffer(buffer, -1), EReadError);
  EXPECT_THROW(stream.Seek(-1, TSeekOrigin::soBeginning), EStreamError);
  // Beyond the end: reads nothing, a write there fills the gap with zeros.
  stream.Seek(2, TSeekOrigin::soEnd);
  EXPECT_EQ(stream.Read(buffer, 1), 0);
  stream.WriteBuffer("z", 1);
  EXPECT_EQ(stream.Size(), 9);
  EXPECT_EQ(stream.Bytes()[6], 0);
  stream.SetSize(3);
  EXPECT_EQ(stream.Position(), 3);
}

TEST(Streams, FileStreamRoundTripAndErrors) {
  std::string name = ::testing::TempDir() + "streams-test.bin";
  {
    TFileStream file(name, TFileStream::TMode::fmCreate);
    file.WriteBuffer("0123456789", 10);
    EXPECT_EQ(file.Size(), 10);
    file.SetSize(4);
    EXPECT_EQ(file.Size(), 4);
  }
  TMemoryStream memory;
  memory.LoadFromFile(name);
  EXPECT_EQ(std::string(memory.Bytes().begin(), memory.Bytes().end()), "0123");
  TFileStream reader(name, TFileStream::TMode::fmOpenRead);
  char buffer[4];
  reader.Seek(-2, TSeekOrigin::soEnd);
  EXPECT_THROW(reader.ReadBuffer(buffer, 3), EReadError);
  std::remove(name.c_str());
  EXPECT_THROW(TFileStream(name + ".missing", TFileStream::TMode::fmOpenRead), EFOpenError);
  EXPECT_THROW(TFileStream(name + "/no/such/dir", TFileStream::TMode::fmCreate), EFCreateError);
}
