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

struct NetworkServer;

// A connection's handle is the address of its record. A TCP record ends after `server`; the
// fields behind it exist in UDP records only. Sockets are Winsock SOCKET values.
struct NetworkConnection {
  int32_t kind;            // kProtocolTcp or kProtocolUdp
  uint32_t peerAddress;    // UDP: IPv4 address in network byte order
  uintptr_t socketOrPort;  // TCP: the connected socket; UDP: the peer port in host byte order
  NetworkServer* server;   // always null: this runtime opens no servers
  uintptr_t socket;        // UDP: the socket
  uint8_t* pending;        // UDP: the last datagram received (a RuntimeHeap block), or null
  int32_t remaining;       // UDP: bytes of the pending datagram not read yet
  uint8_t* readPosition;   // UDP: next unread byte of the pending datagram
};

struct NetworkServer {
  uintptr_t listenSocket;  // liveness marker
  int32_t protocol;
  ObjectNode* clients;  // node list of NetworkConnection records
};

struct NetworkState {
  int16_t started;  // WSAStartup succeeded
  ObjectRegistry* servers;
};
extern NetworkState gNetwork;

int32_t StartNetwork();
void EndNetwork();
void CloseServer(ObjectNumber number);

NetworkConnection* OpenConnection(const char* host, int32_t port);
NetworkConnection* OpenConnection(const char* host, int32_t port, int32_t protocol);
void CloseConnection(NetworkConnection* connection);
int32_t PollConnection(NetworkConnection* connection);
int32_t ReceiveBytes(NetworkConnection* connection, void* buffer, int32_t length);
int32_t SendBytes(NetworkConnection* connection, const void* data, int32_t length);
int32_t SendText(NetworkConnection* connection, const char* text);
