// The network library's handling of received bytes: datagrams of any size taken as the pending
// one and read back in pieces of any length, and peeks at a stream's head tested for the file
// marker. What is read must be the datagram's bytes in order, and nothing more.
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_input.h"
#include "fuzz_support.h"
#include "runtime/core/heaps.h"
#include "runtime/network/received_data.h"

namespace {}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  StartFuzzRuntime();
  FuzzInput in(data, size);
  NetworkConnection connection{};
  connection.kind = kProtocolUdp;
  std::string unread;  // the model: what the pending datagram still holds
  for (int calls = 0; calls < 256 && !in.empty(); ++calls) {
    uint8_t call = in.Byte();
    switch (call % 3) {
      case 0: {
        // A datagram as the socket layer hands it over: its bytes and the count it reports.
        std::string bytes = in.Bytes(255);
        if (call & 0x80) bytes.append((size_t)kMaxDatagram + 1 - bytes.size() - (call >> 3 & 1), 'd');
        int32_t got = call & 0x40 ? in.Number((int32_t)bytes.size()) : (int32_t)bytes.size();
        if (got > (int32_t)bytes.size()) got = (int32_t)bytes.size();  // never more than was received
        bool taken = TakeDatagram(&connection, bytes.data(), got);
        Check(taken == (got > 0 && got <= kMaxDatagram));
        if (taken) unread.assign(bytes, 0, (size_t)got);
        break;
      }
      case 1: {
        int32_t length = in.Number(16);
        size_t room = length > 0 && length < 4096 ? (size_t)length : 1;
        auto* buffer = (char*)malloc(room);
        int32_t read = ReceivePending(&connection, length > 0 && length < 4096 ? buffer : nullptr, length);
        size_t expected = length > 0 && length < 4096 ? (length < (int32_t)unread.size() ? length : unread.size()) : 0;
        Check(read == (int32_t)expected);
        Check(memcmp(buffer, unread.data(), expected) == 0);
        unread.erase(0, expected);
        Check(connection.remaining == (int32_t)unread.size());
        Check(unread.empty() == (connection.pending == nullptr));
        free(buffer);
        break;
      }
      default: {
        std::string head = in.Bytes(16);
        int32_t got = in.Number((int32_t)head.size());
        if (got > (int32_t)head.size()) got = (int32_t)head.size();
        auto* peek = (char*)malloc(head.size() ? head.size() : 1);
        memcpy(peek, head.data(), head.size());
        Check(IsFileMarker(peek, got) == (got == 8 && head.compare(0, 8, "TQMGSFLE") == 0));
        free(peek);
        break;
      }
    }
  }
  DropPending(&connection);
  return 0;
}
