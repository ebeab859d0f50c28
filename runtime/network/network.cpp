// Winsock 1.1 client connections, linked against WSOCK32.DLL. TCP sockets block; UDP sockets are
// non-blocking and keep the last datagram received so that it can be read in several pieces.
#include <winsock.h>

#include <cstddef>
#include <cstring>

#include "runtime/core/heaps_internal.h"
#include "runtime/core/registry_internal.h"
#include "runtime/network/network_internal.h"
#include "runtime/network/received_data.h"

NetworkState gNetwork;

namespace {

constexpr size_t kTcpRecordSize = offsetof(NetworkConnection, socket);

SOCKET SocketOf(const NetworkConnection* connection) {
  return connection->kind == kProtocolTcp ? (SOCKET)connection->socketOrPort : (SOCKET)connection->socket;
}

// A dotted address, or else the first IPv4 address the name resolves to; INADDR_NONE when neither.
uint32_t ResolveHost(const char* host) {
  uint32_t address = inet_addr(host);
  if (address != INADDR_NONE) return address;
  hostent* entry = gethostbyname(host);
  if (!entry || entry->h_addrtype != AF_INET || entry->h_length != 4 || !entry->h_addr_list || !entry->h_addr_list[0]) {
    return INADDR_NONE;
  }
  memcpy(&address, entry->h_addr_list[0], sizeof address);
  return address;
}

sockaddr_in PeerAddress(uint32_t address, uint32_t port) {
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons((u_short)port);
  peer.sin_addr.s_addr = address;
  return peer;
}

// Records why an open failed; gives null for the caller to return.
NetworkConnection* OpenFailed(int32_t failure, int32_t error = 0) {
  gNetwork.openFailure = failure;
  gNetwork.openError = error;
  return nullptr;
}

NetworkConnection* ConnectTcp(SOCKET s, uint32_t address, int32_t port) {
  sockaddr_in peer = PeerAddress(address, (uint32_t)port);
  if (connect(s, (sockaddr*)&peer, sizeof peer) != 0) return OpenFailed(kOpenNotConnected, WSAGetLastError());
  auto* connection = (NetworkConnection*)RuntimeAlloc(kTcpRecordSize);
  if (!connection) return OpenFailed(kOpenNoMemory);
  connection->kind = kProtocolTcp;
  connection->socketOrPort = s;
  return connection;
}

NetworkConnection* PrepareUdp(SOCKET s, uint32_t address, int32_t port) {
  u_long nonBlocking = 1;
  if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) return OpenFailed(kOpenNotConnected, WSAGetLastError());
  auto* connection = (NetworkConnection*)RuntimeAlloc(sizeof(NetworkConnection));
  if (!connection) return OpenFailed(kOpenNoMemory);
  connection->kind = kProtocolUdp;
  connection->peerAddress = address;
  connection->socketOrPort = (uint32_t)port;
  connection->socket = s;
  return connection;
}

int32_t PollTcp(SOCKET s) {
  u_long waiting = 0;
  if (ioctlsocket(s, FIONREAD, &waiting) != 0 || waiting == 0) return kNetNothing;
  if (waiting < (u_long)kFileMarkerBytes) return kNetData;
  char head[kFileMarkerBytes];
  int got = recv(s, head, sizeof head, MSG_PEEK);
  return IsFileMarker(head, got) ? kNetFileMarker : kNetData;
}

// Takes one waiting datagram as the pending one. Nothing waiting, an error, an empty datagram
// and one longer than the buffer (the platform discards it) all give 0.
int32_t PollUdp(NetworkConnection* connection) {
  char datagram[kMaxDatagram];
  int got = recvfrom((SOCKET)connection->socket, datagram, sizeof datagram, 0, nullptr, nullptr);
  return TakeDatagram(connection, datagram, got) ? kNetData : kNetNothing;
}

}  // namespace

int32_t StartNetwork() {
  if (!gNetwork.started) {
    WSADATA data;
    gNetwork.started = WSAStartup(0x0101, &data) == 0 ? 1 : 0;
  }
  if (!gNetwork.servers) gNetwork.servers = RegistryCreate(sizeof(NetworkServer), 16, CloseServer);
  return gNetwork.started;
}

void EndNetwork() {
  if (gNetwork.servers) {
    RegistryEnumStart(gNetwork.servers);
    ObjectNumber number;
    while (RegistryEnumNext(gNetwork.servers, &number)) CloseServer(number);
  }
  if (gNetwork.started) {
    WSACleanup();
    gNetwork.started = 0;
  }
}

// TCP clients have sockets of their own; UDP clients share the server's socket.
void CloseServer(ObjectNumber number) {
  auto* server = (NetworkServer*)RegistryLookup(gNetwork.servers, number);
  if (!server) return;
  while (ObjectNode* node = server->clients) {
    auto* client = (NetworkConnection*)NodeRecord(node);
    if (server->protocol == kProtocolTcp) {
      closesocket((SOCKET)client->socketOrPort);
    } else {
      DropPending(client);
    }
    NodeListRemove(&server->clients, client);
  }
  closesocket((SOCKET)server->listenSocket);
  RegistryFree(gNetwork.servers, number);
}

NetworkConnection* OpenConnection(const char* host, int32_t port) { return OpenConnection(host, port, kProtocolTcp); }

NetworkConnection* OpenConnection(const char* host, int32_t port, int32_t protocol) {
  if (!host || (protocol != kProtocolTcp && protocol != kProtocolUdp)) return OpenFailed(kOpenBadArguments);
  SOCKET s = socket(AF_INET, protocol == kProtocolTcp ? SOCK_STREAM : SOCK_DGRAM, 0);
  if (s == INVALID_SOCKET) return OpenFailed(kOpenNoSocket, WSAGetLastError());
  uint32_t address = ResolveHost(host);
  NetworkConnection* connection = nullptr;
  if (address == INADDR_NONE) {
    OpenFailed(kOpenUnknownHost);
  } else {
    connection = protocol == kProtocolTcp ? ConnectTcp(s, address, port) : PrepareUdp(s, address, port);
  }
  if (!connection) {
    closesocket(s);
    return nullptr;
  }
  gNetwork.openFailure = kOpenSucceeded;
  gNetwork.openError = 0;
  return connection;
}

int32_t LastOpenFailure() { return gNetwork.openFailure; }
int32_t LastOpenError() { return gNetwork.openError; }

void CloseConnection(NetworkConnection* connection) {
  if (!connection) return;
  closesocket(SocketOf(connection));
  if (connection->kind == kProtocolUdp) DropPending(connection);
  RuntimeFree(connection);
}

int32_t PollConnection(NetworkConnection* connection) {
  if (!connection) return kNetNothing;
  return connection->kind == kProtocolTcp ? PollTcp(SocketOf(connection)) : PollUdp(connection);
}

// TCP gives recv's own result: bytes read, 0 when the peer has closed, -1 on error.
int32_t ReceiveBytes(NetworkConnection* connection, void* buffer, int32_t length) {
  if (!connection) return 0;
  if (connection->kind == kProtocolUdp) return ReceivePending(connection, buffer, length);
  if (!buffer || length < 0) return SOCKET_ERROR;
  return recv(SocketOf(connection), (char*)buffer, length, 0);
}

int32_t SendBytes(NetworkConnection* connection, const void* data, int32_t length) {
  if (!connection) return 0;
  if (length < 0 || (!data && length > 0)) return SOCKET_ERROR;
  if (connection->kind == kProtocolTcp) return send(SocketOf(connection), (const char*)data, length, 0);
  sockaddr_in peer = PeerAddress(connection->peerAddress, (uint32_t)connection->socketOrPort);
  return sendto(SocketOf(connection), (const char*)data, length, 0, (sockaddr*)&peer, sizeof peer);
}

int32_t SendText(NetworkConnection* connection, const char* text) {
  if (!text) return 0;
  return SendBytes(connection, text, (int32_t)strlen(text));
}
