// The network library's records and state: connections, the server registry's records and the
// outcome of the latest OpenConnection.
#pragma once
#include <cstdint>

#include "runtime/core/registry_internal.h"
#include "runtime/network/network.h"

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
  int32_t openFailure;  // OpenFailure of the latest OpenConnection
  int32_t openError;    // Winsock's error code for kOpenNoSocket and kOpenNotConnected, else 0
};
extern NetworkState gNetwork;
