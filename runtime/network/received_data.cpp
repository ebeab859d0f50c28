// Received bytes: the stream's file marker and the pending datagram of a UDP connection.
#include "runtime/network/received_data.h"

#include <cstring>

#include "runtime/core/heaps_internal.h"

namespace {
constexpr char kFileMarker[kFileMarkerBytes] = {'T', 'Q', 'M', 'G', 'S', 'F', 'L', 'E'};
}  // namespace

bool IsFileMarker(const void* head, int32_t got) {
  return head && got == kFileMarkerBytes && memcmp(head, kFileMarker, sizeof kFileMarker) == 0;
}

bool TakeDatagram(NetworkConnection* connection, const void* datagram, int32_t got) {
  if (!connection || !datagram || got <= 0 || got > kMaxDatagram) return false;
  auto* block = (uint8_t*)RuntimeAllocRaw((size_t)got);
  if (!block) return false;
  memcpy(block, datagram, (size_t)got);
  DropPending(connection);
  connection->pending = connection->readPosition = block;
  connection->remaining = got;
  return true;
}

int32_t ReceivePending(NetworkConnection* connection, void* buffer, int32_t length) {
  if (!connection->pending || !buffer || length <= 0) return 0;
  int32_t n = length < connection->remaining ? length : connection->remaining;
  memcpy(buffer, connection->readPosition, (size_t)n);
  connection->readPosition += n;
  connection->remaining -= n;
  if (connection->remaining == 0) DropPending(connection);
  return n;
}

void DropPending(NetworkConnection* connection) {
  if (connection->pending) RuntimeFree(connection->pending);
  connection->pending = connection->readPosition = nullptr;
  connection->remaining = 0;
}
