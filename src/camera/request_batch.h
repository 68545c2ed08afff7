// Cameras asked side by side: each camera's requests go one after another, as they always did,
// while every camera's run at once, driven by the main loop, so the window keeps drawing.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "camera/camera_requests.h"

// One step of a camera's sequence: given the answers so far, the next request, or nothing when
// the sequence is over.
using RequestStep = std::function<std::optional<PreparedRequest>(const std::vector<corvexPacket>& answers)>;

// What one camera is asked, in order.
using RequestSequence = std::vector<RequestStep>;

// A batch of sequences, one per camera, run together on one transfer engine of libcurl that the
// default main context drives (socket watches and a timer, no thread). A camera that gives no
// answer to a request (noHttpAnswer: timed out, refused, reset) is asked nothing more: its
// sequence ends there, so a camera that never answers costs the transport's time-out once; an
// HTTP error status is an answer, and the next step sees it. Each camera's traces are
// kept apart while they run, so the caller can print them in list order. Destroying the batch,
// or cancel(), ends every outstanding transfer and closes every connection it opened.
class RequestBatch {
public:
    explicit RequestBatch(std::vector<RequestSequence> sequences);
    ~RequestBatch();
    RequestBatch(const RequestBatch&) = delete;
    RequestBatch& operator=(const RequestBatch&) = delete;

    // Sends the first request of each sequence; onChange runs each time a sequence ends.
    void start(std::function<void()> onChange);
    // Ends every outstanding request at once; the sequences not ended stay unanswered.
    void cancel();

    std::size_t size() const;
    std::size_t answered() const;
    bool done() const { return answered() == size(); }
    bool cancelled() const;

    // Whether the sequence ran to its end, and its answers (those it got, when cancelled).
    bool answered(std::size_t sequence) const;
    // Whether the sequence ended early because the camera gave no answer to its last request.
    bool unanswered(std::size_t sequence) const;
    const std::vector<corvexPacket>& answers(std::size_t sequence) const;
    // The traces of the sequence's requests so far; taken once.
    std::string takeTrace(std::size_t sequence);

private:
    struct Engine;
    std::unique_ptr<Engine> engine_;
};

// Runs the batch to its end or to the limit in a nested main loop; false when the limit came
// first (the batch is then cancelled). Prints nothing: the traces stay in the batch.
bool runBatch(RequestBatch& batch, std::chrono::milliseconds limit);

// A camera's address settings with the given login: its interface view, then its DNS view
// (when dnsOnlyAfterLogin, only if the interface view accepted the login).
RequestSequence addressSettingsViews(const Glib::ustring& address, const Glib::ustring& user,
                                     const Glib::ustring& password, bool dnsOnlyAfterLogin);

// What the progress dialog says while a batch runs: "Asking 16 cameras: 12 answered".
std::string progressText(std::size_t cameras, std::size_t answered);
