// What the network library does with bytes once the socket layer has handed them over: spotting
// the file marker at the head of a TCP stream, and keeping a UDP datagram so that it can be read
// in pieces. Free of socket calls, so it builds natively for sanitizers and fuzzers.
#pragma once
#include <cstdint>

#include "runtime/network/network_internal.h"

constexpr int32_t kFileMarkerBytes = 8;
constexpr int32_t kMaxDatagram = 2048;

// True when the got bytes peeked at the head of a stream are exactly the file marker.
bool IsFileMarker(const void* head, int32_t got);

// Makes a copy of a received datagram the connection's pending one, dropping the previous one.
// An empty datagram, a negative or over-long count and a refused allocation keep the old one and
// give false.
bool TakeDatagram(NetworkConnection* connection, const void* datagram, int32_t got);

// Reads up to length bytes of the pending datagram; frees it once it has been read to its end.
int32_t ReceivePending(NetworkConnection* connection, void* buffer, int32_t length);

void DropPending(NetworkConnection* connection);
