// The bytes side of the network library, without sockets: the stream's file marker and a pending
// datagram read in pieces.
#include "runtime/network/received_data.h"

#include <gtest/gtest.h>

#include <string>

#include "support/core_setup.h"

namespace {

TEST(ReceivedData, FileMarkerNeedsAllEightBytes) {
  EXPECT_TRUE(IsFileMarker("TQMGSFLE", 8));
  EXPECT_FALSE(IsFileMarker("TQMGSFLX", 8));
  EXPECT_FALSE(IsFileMarker("TQMGSFLE", 7));  // a short peek
  EXPECT_FALSE(IsFileMarker("TQMGSFLE", -1));
  EXPECT_FALSE(IsFileMarker(nullptr, 8));
}

TEST(ReceivedData, DatagramIsReadInPiecesAndFreedAtItsEnd) {
  EnsureCoreStarted();
  NetworkConnection c{};
  ASSERT_TRUE(TakeDatagram(&c, "abcdefg", 7));
  char buffer[16];
  EXPECT_EQ(ReceivePending(&c, buffer, 3), 3);
  EXPECT_EQ(std::string(buffer, 3), "abc");
  EXPECT_EQ(ReceivePending(&c, buffer, 0), 0);
  EXPECT_EQ(ReceivePending(&c, nullptr, 4), 0);
  EXPECT_EQ(ReceivePending(&c, buffer, 16), 4);  // only what is left
  EXPECT_EQ(std::string(buffer, 4), "defg");
  EXPECT_EQ(c.pending, nullptr);
  EXPECT_EQ(ReceivePending(&c, buffer, 16), 0);
}

TEST(ReceivedData, UnusableDatagramsKeepThePendingOne) {
  EnsureCoreStarted();
  NetworkConnection c{};
  ASSERT_TRUE(TakeDatagram(&c, "xy", 2));
  std::string big(kMaxDatagram + 1, 'z');
  EXPECT_FALSE(TakeDatagram(&c, big.data(), kMaxDatagram + 1));
  EXPECT_FALSE(TakeDatagram(&c, "q", 0));
  EXPECT_FALSE(TakeDatagram(&c, "q", -1));
  EXPECT_FALSE(TakeDatagram(&c, nullptr, 1));
  EXPECT_EQ(c.remaining, 2);
  EXPECT_TRUE(TakeDatagram(&c, big.data(), kMaxDatagram));  // a new one replaces the old
  EXPECT_EQ(c.remaining, kMaxDatagram);
  DropPending(&c);
  EXPECT_EQ(c.pending, nullptr);
}

}  // namespace
