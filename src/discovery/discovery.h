// Finding the cameras: one UDP broadcast request, one fixed-size reply from each camera.
#pragma once

#include <chrono>
#include <set>
#include <string>

#include "discovery/discovery_reply.h"
#include "utils/main_loop_wait.h"
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
    // Every wait runs the main loop, so the window draws and answers meanwhile.
    bool ReceiveDiscoveryMessage(std::string& model, std::string& status, std::string& mode,
                                 std::string& ip, std::string& mac, std::string& firmware);
    // The cameras that answered the request just sent, collected until every MAC of
    // expected has answered (at once when it is empty), or limit has passed, or StopWaiting;
    // the same rules as above.
    ReplyAddresses CollectReplies(const std::set<std::string>& expected, std::chrono::milliseconds limit);
    // Ends the wait in progress at once, and every further one until the next request: the
    // receive then returns as after silence. For the installer's Cancel.
    void StopWaiting();
    void CloseSocket();

private:
    // The next reply that counts, waiting at most silence for each datagram; false at silence,
    // at the scan's limits, on a failed read or once stopped.
    bool nextReply(DiscoveryReply& reply, std::chrono::milliseconds silence);
    // True when a datagram waits on the reply socket; false when limit passed first or the
    // wait was stopped.
    bool awaitDatagram(std::chrono::milliseconds limit);

    Utils::MainLoopWait* waiting_ = nullptr;
    bool stopped_ = false;
};
