// fetch HOST PORT TEXT: opens a TCP connection to HOST on PORT, sends TEXT and a newline, and
// prints what the peer sends back until it closes the connection (at most kMostBytes bytes).
// Exit code 0 when the peer closed, 1 when the connection could not be made or broke off, 2 for
// wrong arguments. A peer that neither answers nor closes keeps fetch waiting.
//
// A first program on the hurz runtime's network library: the core's heap, then StartNetwork, and
// the connection commands of runtime/network/network.h.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <winsock.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "runtime/core/heaps.h"
#include "runtime/network/network.h"

namespace {
constexpr int32_t kMostBytes = 1 << 20;

// The port as a number from 1 to 65535, or 0 when the text is no such number.
int32_t ParsePort(const char* text) {
  char* end = nullptr;
  long port = strtol(text, &end, 10);
  return (end != text && *end == '\0' && port >= 1 && port <= 65535) ? static_cast<int32_t>(port) : 0;
}

// Tells why OpenConnection gave no connection, in the words a user needs.
void ReportOpenFailure(const char* host, int32_t port) {
  int32_t error = LastOpenError();
  switch (LastOpenFailure()) {
    case kOpenUnknownHost:
      fprintf(stderr, "fetch: the name %s does not resolve to an address\n", host);
      break;
    case kOpenNotConnected:
      if (error == WSAECONNREFUSED) {
        fprintf(stderr, "fetch: %s refused the connection on port %d\n", host, port);
      } else {
        fprintf(stderr, "fetch: no connection to %s on port %d (Winsock error %d)\n", host, port, error);
      }
      break;
    default:
      fprintf(stderr, "fetch: no connection to %s on port %d\n", host, port);
  }
}

// Copies what arrives to the standard output until the peer closes; 0 then, 1 when the
// connection broke off.
int PrintReply(NetworkConnection* connection) {
  char buffer[4096];
  int32_t total = 0;
  while (total < kMostBytes) {
    int32_t want = kMostBytes - total < (int32_t)sizeof buffer ? kMostBytes - total : (int32_t)sizeof buffer;
    int32_t got = ReceiveBytes(connection, buffer, want);  // waits for data; 0 once the peer closed
    if (got == 0) return 0;
    if (got < 0) {
      fprintf(stderr, "fetch: the connection broke off\n");
      return 1;
    }
    fwrite(buffer, 1, static_cast<size_t>(got), stdout);
    total += got;
  }
  fprintf(stderr, "fetch: stopped after %d bytes\n", kMostBytes);
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  int32_t port = argc == 4 ? ParsePort(argv[2]) : 0;
  if (!port) {
    fprintf(stderr, "usage: fetch HOST PORT TEXT\n");
    return 2;
  }
  const char* host = argv[1];
  // The reply is copied byte for byte: no line ends added on the way out.
  _setmode(_fileno(stdout), _O_BINARY);

  // The runtime keeps its records in a heap the program hands it; then the network library starts.
  HANDLE heap = HeapCreate(0, 4096, 0);
  UseRuntimeHeap(heap, GetModuleHandleA(nullptr));
  int result = 1;
  if (!StartNetwork()) {
    fprintf(stderr, "fetch: Winsock could not be started\n");
  } else if (NetworkConnection* connection = OpenConnection(host, port)) {
    if (SendText(connection, argv[3]) < 0 || SendText(connection, "\n") < 0) {
      fprintf(stderr, "fetch: the text could not be sent\n");
    } else {
      result = PrintReply(connection);
    }
    CloseConnection(connection);
  } else {
    ReportOpenFailure(host, port);
  }
  fflush(stdout);
  EndNetwork();
  HeapDestroy(heap);
  return result;
}
