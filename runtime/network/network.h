// Client connections over Winsock 1.1: TCP streams and UDP endpoints that remember one peer,
// polling for incoming data, reading and sending; plus the server registry and the library's
// start and end routines.
#pragma once
#include <cstdint>

#include "runtime/core/registry.h"

constexpr int32_t kProtocolTcp = 1;
constexpr int32_t kProtocolUdp = 2;

// Event codes of PollConnection.
constexpr int32_t kNetNothing = 0;
constexpr int32_t kNetData = 2;
constexpr int32_t kNetFileMarker = 3;  // a TCP stream begins with "TQMG" "SFLE"

// A connection, addressed by the address of its record.
struct NetworkConnection;

// Why the latest OpenConnection gave null (kOpenSucceeded once one succeeds), so that a program can
// tell its user whether the name or the peer was the trouble.
enum OpenFailure : int32_t {
  kOpenSucceeded = 0,
  kOpenBadArguments = 1,  // a null host or an unknown protocol
  kOpenNoSocket = 2,      // no socket could be made (the network is not started?)
  kOpenUnknownHost = 3,   // the host is no dotted address and its name does not resolve to IPv4
  kOpenNotConnected = 4,  // TCP: the peer refused, could not be reached or did not answer; UDP: no set-up
  kOpenNoMemory = 5,      // no memory for the connection's record
};

int32_t StartNetwork();
void EndNetwork();
void CloseServer(ObjectNumber number);

NetworkConnection* OpenConnection(const char* host, int32_t port);
NetworkConnection* OpenConnection(const char* host, int32_t port, int32_t protocol);
// The OpenFailure of the latest OpenConnection, and Winsock's error code for it (WSAECONNREFUSED,
// WSAETIMEDOUT, ...) when a socket call failed, else 0.
int32_t LastOpenFailure();
int32_t LastOpenError();
void CloseConnection(NetworkConnection* connection);
int32_t PollConnection(NetworkConnection* connection);
int32_t ReceiveBytes(NetworkConnection* connection, void* buffer, int32_t length);
int32_t SendBytes(NetworkConnection* connection, const void* data, int32_t length);
int32_t SendText(NetworkConnection* connection, const char* text);
