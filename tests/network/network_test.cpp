// Network connections against real peers on the loopback address. The peers are sockets of the
// test itself: a TCP connect completes through the listener's backlog, so no thread is needed.
#include <gtest/gtest.h>
#include <winsock.h>

#include <string>

#include "runtime/core/heaps_internal.h"
#include "runtime/core/registry_internal.h"
#include "runtime/network/network_internal.h"
#include "support/core_setup.h"

namespace {

constexpr DWORD kWaitMs = 3000;

sockaddr_in Loopback(u_short port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = inet_addr("127.0.0.1");
  return a;
}

SOCKET BoundSocket(int type, u_short* port) {
  SOCKET s = socket(AF_INET, type, 0);
  sockaddr_in a = Loopback(0);
  int size = sizeof a;
  bind(s, (sockaddr*)&a, size);
  getsockname(s, (sockaddr*)&a, &size);
  *port = ntohs(a.sin_port);
  return s;
}

bool ReadableWithin(SOCKET s) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval limit{kWaitMs / 1000, 0};
  return select(0, &set, nullptr, nullptr, &limit) == 1;
}

bool IsSocket(SOCKET s) {
  int type = 0, size = sizeof type;
  return getsockopt(s, SOL_SOCKET, SO_TYPE, (char*)&type, &size) == 0;
}

// Polls until the connection reports the event, for a bounded time; returns the last event seen.
int32_t PollFor(NetworkConnection* c, int32_t wanted = kNetData) {
  int32_t event = kNetNothing;
  for (DWORD start = GetTickCount(); event != wanted && GetTickCount() - start < kWaitMs; Sleep(1)) {
    event = PollConnection(c);
  }
  return event;
}

std::string Read(NetworkConnection* c, int32_t length) {
  char buffer[4096];
  int32_t got = ReceiveBytes(c, buffer, length);
  return got < 0 ? "<error>" : std::string(buffer, got);
}

class NetworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureCoreStarted();
    ASSERT_EQ(StartNetwork(), 1);
  }
  void TearDown() override {
    CloseConnection(client_);
    for (SOCKET s : {peer_, listener_}) closesocket(s);
  }
  void Send(const std::string& bytes) {
    ASSERT_EQ(sendto(peer_, bytes.data(), (int)bytes.size(), 0, (sockaddr*)&to_, sizeof to_), (int)bytes.size());
  }
  SOCKET listener_ = INVALID_SOCKET, peer_ = INVALID_SOCKET;
  sockaddr_in to_{};  // where the peer's UDP datagrams go
  NetworkConnection* client_ = nullptr;
};

class TcpTest : public NetworkTest {
 protected:
  void SetUp() override {
    NetworkTest::SetUp();
    u_short port;
    listener_ = BoundSocket(SOCK_STREAM, &port);
    ASSERT_EQ(listen(listener_, 4), 0);
    ASSERT_NE(client_ = OpenConnection("localhost", port), nullptr);
    DWORD ms = kWaitMs;  // a blocking read of the runtime's socket must not hang the test
    setsockopt((SOCKET)client_->socketOrPort, SOL_SOCKET, SO_RCVTIMEO, (const char*)&ms, sizeof ms);
    ASSERT_TRUE(ReadableWithin(listener_));
    ASSERT_NE(peer_ = accept(listener_, nullptr, nullptr), INVALID_SOCKET);
  }
};

TEST_F(TcpTest, FileMarkerPollsAsThreeUntilItIsRead) {
  Send("TQMGSFL");
  EXPECT_EQ(PollFor(client_), kNetData);
  Send("Erest");
  EXPECT_EQ(PollFor(client_, kNetFileMarker), kNetFileMarker);
  EXPECT_EQ(PollConnection(client_), kNetFileMarker);  // peeked: still in the stream
  EXPECT_EQ(Read(client_, 1), "T");
  EXPECT_EQ(PollConnection(client_), kNetData);  // "QMGSFLEr" is no marker
  EXPECT_EQ(Read(client_, 7), "QMGSFLE");
  EXPECT_EQ(PollConnection(client_), kNetData);
  EXPECT_EQ(ReceiveBytes(client_, nullptr, 4), -1);
  EXPECT_EQ(Read(client_, 100), "rest");
  EXPECT_EQ(PollConnection(client_), kNetNothing);
}

TEST_F(TcpTest, ClosedPeerPollsAsNothingAndReadsZero) {
  Send("bye");
  closesocket(peer_);
  peer_ = INVALID_SOCKET;
  EXPECT_EQ(PollFor(client_), kNetData);
  EXPECT_EQ(Read(client_, 100), "bye");
  EXPECT_EQ(PollConnection(client_), kNetNothing);
  EXPECT_EQ(Read(client_, 100), "");
}

TEST_F(TcpTest, SendTextSendsTheTextWithoutItsTerminator) {
  EXPECT_EQ(SendText(client_, ""), 0);
  EXPECT_EQ(SendText(client_, nullptr), 0);
  EXPECT_EQ(SendBytes(client_, "xyz", -1), -1);
  EXPECT_EQ(SendText(client_, "hello"), 5);
  EXPECT_EQ(SendBytes(client_, "ab\0c", 4), 4);
  std::string got;
  char buffer[64];
  while (got.size() < 9 && ReadableWithin(peer_)) got.append(buffer, recv(peer_, buffer, sizeof buffer, 0));
  EXPECT_EQ(got, std::string("helloab\0c", 9));
}

class UdpTest : public NetworkTest {
 protected:
  void SetUp() override {
    NetworkTest::SetUp();
    u_short port;
    peer_ = BoundSocket(SOCK_DGRAM, &port);
    ASSERT_NE(client_ = OpenConnection("127.0.0.1", port, kProtocolUdp), nullptr);
    // The client's first datagram binds its socket and tells the peer where to answer.
    ASSERT_EQ(SendText(client_, "ping"), 4);
    ASSERT_TRUE(ReadableWithin(peer_));
    char buffer[16];
    int size = sizeof to_;
    ASSERT_EQ(recvfrom(peer_, buffer, sizeof buffer, 0, (sockaddr*)&to_, &size), 4);
  }
};

std::string Pattern(size_t n, char first) {
  std::string s(n, 0);
  for (size_t i = 0; i < n; ++i) s[i] = (char)(first + i % 50);
  return s;
}

TEST_F(UdpTest, DatagramIsReadInPieces) {
  EXPECT_EQ(PollConnection(client_), kNetNothing);
  EXPECT_EQ(Read(client_, 10), "");
  std::string datagram = Pattern(100, 'A');
  Send(datagram);
  ASSERT_EQ(PollFor(client_), kNetData);
  EXPECT_EQ(Read(client_, 60), datagram.substr(0, 60));
  EXPECT_EQ(Read(client_, 60), datagram.substr(60));
  EXPECT_EQ(Read(client_, 60), "");
  EXPECT_EQ(PollConnection(client_), kNetNothing);
}

TEST_F(UdpTest, OversizedDatagramIsDroppedAndANewerOneReplacesTheRest) {
  Send(Pattern(4000, 'a'));
  Send(Pattern(2048, 'B'));
  ASSERT_EQ(PollFor(client_), kNetData);
  EXPECT_EQ(Read(client_, 5), Pattern(5, 'B'));
  Send("");
  Send("after");
  ASSERT_EQ(PollFor(client_), kNetData);
  EXPECT_EQ(Read(client_, -3), "");
  EXPECT_EQ(Read(client_, 4000), "after");
}

size_t BusyBlocks(HANDLE heap) {
  size_t busy = 0;
  PROCESS_HEAP_ENTRY entry{};
  while (HeapWalk(heap, &entry)) busy += (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0;
  return busy;
}

TEST_F(UdpTest, CloseConnectionFreesThePendingDatagram) {
  Send("unread");
  ASSERT_EQ(PollFor(client_), kNetData);
  size_t busy = BusyBlocks(gCore.runtimeHeap);
  CloseConnection(client_);
  client_ = nullptr;
  EXPECT_EQ(BusyBlocks(gCore.runtimeHeap), busy - 2);  // the record and the datagram
}

TEST_F(NetworkTest, OpenConnectionFailsCleanlyAndTellsWhy) {
  EXPECT_EQ(OpenConnection(nullptr, 80), nullptr);
  EXPECT_EQ(LastOpenFailure(), kOpenBadArguments);
  EXPECT_EQ(OpenConnection("255.255.255.255", 80, kProtocolUdp), nullptr);
  EXPECT_EQ(LastOpenFailure(), kOpenUnknownHost);
  EXPECT_EQ(OpenConnection("no-such-host.invalid", 80), nullptr);
  EXPECT_EQ(LastOpenFailure(), kOpenUnknownHost);
  EXPECT_EQ(LastOpenError(), 0);
  EXPECT_EQ(OpenConnection("127.0.0.1", 80, 3), nullptr);
  EXPECT_EQ(LastOpenFailure(), kOpenBadArguments);
  u_short port;
  listener_ = BoundSocket(SOCK_STREAM, &port);  // bound, not listening: the connect is refused
  EXPECT_EQ(OpenConnection("127.0.0.1", port), nullptr);
  EXPECT_EQ(LastOpenFailure(), kOpenNotConnected);
  EXPECT_EQ(LastOpenError(), WSAECONNREFUSED);
  // A success clears the last failure.
  client_ = OpenConnection("127.0.0.1", port, kProtocolUdp);
  ASSERT_NE(client_, nullptr);
  EXPECT_EQ(LastOpenFailure(), kOpenSucceeded);
  EXPECT_EQ(LastOpenError(), 0);
  EXPECT_EQ(PollConnection(nullptr), kNetNothing);
  EXPECT_EQ(SendText(nullptr, "x"), 0);
}

NetworkServer* AddServer(ObjectNumber number, SOCKET listener) {
  auto* server = (NetworkServer*)RegistryAllocate(gNetwork.servers, number);
  server->listenSocket = listener;
  server->protocol = kProtocolTcp;
  return server;
}

TEST_F(NetworkTest, ServersAreClosedWithTheirTcpClients) {
  u_short port;
  listener_ = BoundSocket(SOCK_STREAM, &port);
  ASSERT_EQ(listen(listener_, 1), 0);
  peer_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = Loopback(port);
  ASSERT_EQ(connect(peer_, (sockaddr*)&a, sizeof a), 0);
  ASSERT_TRUE(ReadableWithin(listener_));
  SOCKET accepted = accept(listener_, nullptr, nullptr);
  auto* client = (NetworkConnection*)NodeListAdd(&AddServer(3, listener_)->clients,
                                                 sizeof(ObjectNode) + sizeof(NetworkConnection));
  client->kind = kProtocolTcp;
  client->socketOrPort = accepted;
  CloseServer(3);
  EXPECT_EQ(RegistryLookup(gNetwork.servers, 3), nullptr);
  EXPECT_FALSE(IsSocket(listener_));
  char c;
  ASSERT_TRUE(ReadableWithin(peer_));
  EXPECT_EQ(recv(peer_, &c, 1, 0), 0);  // the client's socket was closed

  SOCKET other = BoundSocket(SOCK_DGRAM, &port);
  AddServer(AnyID, other);
  EndNetwork();  // the last WSACleanup closes every socket anyway: look only at the registry
  EXPECT_EQ(gNetwork.servers->dynamicHead, nullptr);
  EXPECT_EQ(gNetwork.started, 0);
  peer_ = listener_ = INVALID_SOCKET;
}

// Counted WSAStartup calls are emptied first, so that a stray WSACleanup would show.
TEST(NetworkLifecycle, EndNetworkWithoutStartNetworkDoesNothing) {
  EnsureCoreStarted();
  NetworkState saved = gNetwork;
  gNetwork = {};
  int depth = 0;
  while (depth < 100 && WSACleanup() == 0) ++depth;
  WSADATA data;
  ASSERT_EQ(WSAStartup(0x0101, &data), 0);
  EndNetwork();
  EXPECT_EQ(WSACleanup(), 0);  // our own start is still counted
  for (int i = 0; i < depth; ++i) WSAStartup(0x0101, &data);
  gNetwork = saved;
}

}  // namespace
