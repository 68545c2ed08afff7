// Finding the cameras: one UDP broadcast request, one fixed-size reply from each camera.
#pragma once

#include <string>

#include "utils/unique_fd.h"

// Sockets of the scan in progress; replaced when a scan opens them, closed when it ends.
extern UniqueFd send_socket_;
extern UniqueFd recv_socket_;

class Discovery {
public:
    Discovery() = default;
    virtual ~Discovery() = default;

    // The address is not used: replies are taken on every local address, and the kernel tells
    // on which interface each arrived.
    bool OpenSocket(const char* address);
    // Opens the sockets, starts the scan's listening budget and sends the request once to the
    // broadcast address, port 7701. False, traced once and with the sockets closed, when the
    // sockets could not be opened or the request did not go out: there is nothing to wait for.
    bool SendBroadcastPacket(const char* address);
    // Decodes the next reply into the outputs; false once nothing has arrived for 4 s, or once
    // the scan has spent 30 s in these calls or read 256 datagrams. Only a reply that arrived on
    // the camera interface counts; any other datagram is traced and skipped.
    bool ReceiveDiscoveryMessage(std::string& model, std::string& status, std::string& mode,
                                 std::string& ip, std::string& mac, std::string& firmware);
    void CloseSocket();
};
