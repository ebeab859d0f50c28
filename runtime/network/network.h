/// \file
/// Client connections over Winsock 1.1 (WSOCK32.DLL): TCP streams and UDP endpoints that remember
/// one peer, polling for incoming data, reading and sending; plus the server registry and the
/// library's start and end routines. Addresses are IPv4; ports are in host byte order.
#pragma once
#include <cstdint>

#include "runtime/core/registry.h"

constexpr int32_t kProtocolTcp = 1;  ///< a TCP stream (blocking reads and sends)
constexpr int32_t kProtocolUdp = 2;  ///< UDP datagrams to and from one peer (non-blocking)

constexpr int32_t kNetNothing = 0;     ///< PollConnection: nothing to read
constexpr int32_t kNetData = 2;        ///< PollConnection: data waits to be read
constexpr int32_t kNetFileMarker = 3;  ///< PollConnection: a TCP stream begins with "TQMG" "SFLE"

/// A connection, addressed by the address of its record.
struct NetworkConnection;

/// Why the latest OpenConnection gave null (kOpenSucceeded once one succeeds), so that a program can
/// tell its user whether the name or the peer was the trouble.
enum OpenFailure : int32_t {
  kOpenSucceeded = 0,     ///< the latest open succeeded
  kOpenBadArguments = 1,  ///< a null host or an unknown protocol
  kOpenNoSocket = 2,      ///< no socket could be made (the network is not started?)
  kOpenUnknownHost = 3,   ///< the host is no dotted address and its name does not resolve to IPv4
  kOpenNotConnected = 4,  ///< TCP: the peer refused, could not be reached or did not answer; UDP: no set-up
  kOpenNoMemory = 5,      ///< no memory for the connection's record
};

/// Start routine of the network library: Winsock 1.1 (WSAStartup) and the server registry.
/// Calling it again once Winsock started does nothing more.
/// \return 1 when Winsock is started, else 0.
int32_t StartNetwork();
/// End routine of the network library: closes every server and ends Winsock (WSACleanup).
/// Connections are not closed by it: close them first.
void EndNetwork();
/// Closes a server and its clients; a number that names no server is ignored. (This runtime opens
/// no servers.)
void CloseServer(ObjectNumber number);

/// OpenConnection over TCP.
NetworkConnection* OpenConnection(const char* host, int32_t port);
/// Opens a client connection: TCP connects to the peer (waiting as long as Winsock does); UDP only
/// remembers the peer for SendBytes.
/// \param host a dotted IPv4 address or a name that resolves to one.
/// \param port the peer's port.
/// \param protocol kProtocolTcp or kProtocolUdp.
/// \return the connection, or null: LastOpenFailure and LastOpenError then tell why.
NetworkConnection* OpenConnection(const char* host, int32_t port, int32_t protocol);
/// \return the OpenFailure of the latest OpenConnection.
int32_t LastOpenFailure();
/// \return Winsock's error code for the latest OpenConnection (WSAECONNREFUSED, WSAETIMEDOUT, ...)
///   when a socket call failed, else 0.
int32_t LastOpenError();
/// Closes the connection's socket and frees it; null is ignored.
void CloseConnection(NetworkConnection* connection);
/// Asks whether data waits, without waiting. A UDP connection takes one waiting datagram as its
/// pending one for ReceiveBytes (an earlier one not read to its end is dropped).
/// \return kNetNothing, kNetData, or for TCP kNetFileMarker when the waiting bytes begin with the
///   file marker.
int32_t PollConnection(NetworkConnection* connection);
/// Reads at most `length` bytes into `buffer`. TCP waits for data; UDP reads from the pending
/// datagram (taken by PollConnection) and frees it once read to its end.
/// \return the bytes read; TCP: 0 when the peer has closed, -1 on error; UDP: 0 when nothing is
///   pending. 0 for a null connection.
int32_t ReceiveBytes(NetworkConnection* connection, void* buffer, int32_t length);
/// Sends `length` bytes (TCP: on the stream; UDP: one datagram to the peer).
/// \return the bytes sent, -1 on error or a negative length, 0 for a null connection.
int32_t SendBytes(NetworkConnection* connection, const void* data, int32_t length);
/// Sends a NUL-terminated text without its terminator, as SendBytes.
/// \return as SendBytes; 0 for a null text.
int32_t SendText(NetworkConnection* connection, const char* text);
