// examples/fetch as built against the installed runtime, run against a loopback server of the
// test's own: what it sends, what it prints (byte for byte, and no more than its bound), and how
// it reports a refused connection and a name that does not resolve (its messages end in CR LF, as
// text on Windows does).
#include <gtest/gtest.h>
#include <winsock.h>

#include <string>
#include <thread>

#include "support/program_run.h"

namespace {
constexpr size_t kMostBytes = 1 << 20;  // what fetch prints at most

// A listening socket on a free loopback port.
SOCKET Listen(u_short* port, bool listening = true) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = inet_addr("127.0.0.1");
  int size = sizeof a;
  bind(s, (sockaddr*)&a, size);
  getsockname(s, (sockaddr*)&a, &size);
  *port = ntohs(a.sin_port);
  if (listening) listen(s, 1);
  return s;
}

// Serves one connection: reads up to the first newline, answers with the reply and closes.
struct OneShotServer {
  u_short port = 0;
  SOCKET listener;
  std::string received;
  std::thread thread;

  explicit OneShotServer(std::string reply) : listener(Listen(&port)) {
    thread = std::thread([this, reply] {
      SOCKET peer = accept(listener, nullptr, nullptr);
      if (peer == INVALID_SOCKET) return;
      DWORD limit = 10000;
      setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, (const char*)&limit, sizeof limit);
      char c;
      while (received.find('\n') == std::string::npos && recv(peer, &c, 1, 0) == 1) received += c;
      send(peer, reply.data(), (int)reply.size(), 0);  // fetch may close before taking it all
      closesocket(peer);
    });
  }
  // What the server read, once it is done.
  std::string Finish() {
    if (listener != INVALID_SOCKET) closesocket(listener);  // ends an accept that no fetch came to
    listener = INVALID_SOCKET;
    if (thread.joinable()) thread.join();
    return received;
  }
  ~OneShotServer() { Finish(); }
};

ProgramRun Fetch(const std::string& arguments) {
  return RunProgram(std::string("\"") + HURZ_TEST_EXAMPLES_DIR + "/fetch/fetch.exe\" " + arguments);
}

class FetchExample : public ::testing::Test {
 protected:
  void SetUp() override {
    WSADATA data;
    ASSERT_EQ(WSAStartup(0x0101, &data), 0);
  }
  void TearDown() override { WSACleanup(); }
};
}  // namespace

TEST_F(FetchExample, SendsTheTextAndANewlineAndPrintsTheReplyAsItCame) {
  const std::string reply("first line\nsecond\r\nbytes \0\x01\xFF end", 31);
  OneShotServer server(reply);
  ProgramRun run = Fetch("127.0.0.1 " + std::to_string(server.port) + " \"hello there\"");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, reply);
  EXPECT_EQ(server.Finish(), "hello there\n");
}

TEST_F(FetchExample, StopsAfterItsBound) {
  OneShotServer server(std::string(kMostBytes + 5000, 'x'));
  ProgramRun run = Fetch("localhost " + std::to_string(server.port) + " more");
  const std::string note = "fetch: stopped after " + std::to_string(kMostBytes) + " bytes\r\n";
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output.size(), kMostBytes + note.size());
  EXPECT_NE(run.output.find(note), std::string::npos);
}

TEST_F(FetchExample, ReportsARefusedConnectionAndAnUnknownNameWithExitCodeOne) {
  u_short port;
  SOCKET bound = Listen(&port, false);  // bound, not listening: the connection is refused
  ProgramRun refused = Fetch("127.0.0.1 " + std::to_string(port) + " hi");
  closesocket(bound);
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.output, "fetch: 127.0.0.1 refused the connection on port " + std::to_string(port) + "\r\n");

  ProgramRun unknown = Fetch("no-such-host.invalid 80 hi");
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_EQ(unknown.output, "fetch: the name no-such-host.invalid does not resolve to an address\r\n");

  EXPECT_EQ(Fetch("127.0.0.1 70000 hi").exitCode, 2);
  EXPECT_EQ(Fetch("127.0.0.1 80").exitCode, 2);
}
