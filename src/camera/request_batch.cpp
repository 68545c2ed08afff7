#include "camera/request_batch.h"

#include <curl/curl.h>

#include <glibmm/main.h>

#include <iostream>
#include <map>
#include <sstream>

#include "camera/curlobject.h"
#include "utils/main_loop_wait.h"

namespace {

// Points the standard output's stream at a camera's own trace while its requests are prepared
// or answered, so that cameras asked side by side do not mix their lines.
class TraceInto {
public:
    explicit TraceInto(std::ostringstream& trace) : saved_(std::cout.rdbuf(trace.rdbuf())) {}
    ~TraceInto() { std::cout.rdbuf(saved_); }
    TraceInto(const TraceInto&) = delete;
    TraceInto& operator=(const TraceInto&) = delete;

private:
    std::streambuf* saved_;
};

struct MultiCleanup {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};

}  // namespace

struct RequestBatch::Engine {
    struct Camera {
        RequestSequence steps;
        std::vector<corvexPacket> answers;
        std::optional<PreparedRequest> current;
        std::ostringstream trace;
        bool ended = false;
        // Its last request got no answer: nothing more is asked.
        bool unanswered = false;
    };

    std::vector<Camera> cameras;
    std::size_t endedCount = 0;
    bool cancelled = false;
    std::function<void()> onChange;
    std::unique_ptr<CURLM, MultiCleanup> multi;
    std::map<curl_socket_t, sigc::connection> watches;
    sigc::connection timer;

    explicit Engine(std::vector<RequestSequence> sequences) : cameras(sequences.size())
    {
        for (std::size_t i = 0; i < sequences.size(); ++i)
            cameras[i].steps = std::move(sequences[i]);
    }

    ~Engine() { stop(); }

    void begin()
    {
        multi.reset(curl_multi_init());
        if (multi) {
            curl_multi_setopt(multi.get(), CURLMOPT_SOCKETFUNCTION, &Engine::onSocket);
            curl_multi_setopt(multi.get(), CURLMOPT_SOCKETDATA, this);
            curl_multi_setopt(multi.get(), CURLMOPT_TIMERFUNCTION, &Engine::onTimer);
            curl_multi_setopt(multi.get(), CURLMOPT_TIMERDATA, this);
        }
        for (std::size_t i = 0; i < cameras.size(); ++i)
            advance(i);
    }

    // Sends the camera's next request, or ends its sequence.
    void advance(std::size_t index)
    {
        Camera& camera = cameras[index];
        {
            TraceInto into(camera.trace);
            while (!camera.ended) {
                std::optional<PreparedRequest> next;
                if (!camera.unanswered && camera.answers.size() < camera.steps.size())
                    next = camera.steps[camera.answers.size()](camera.answers);
                if (!next) {
                    camera.ended = true;
                    break;
                }
                CURL* handle = next->transport ? next->transport->Begin() : nullptr;
                if (handle != nullptr && multi && curl_multi_add_handle(multi.get(), handle) == CURLM_OK) {
                    camera.current = std::move(next);
                    return;
                }
                // Not sent (a refused address, no handle): an empty answer, and on to the next.
                camera.answers.push_back(finishRequest(*next, false));
            }
        }
        ++endedCount;
        if (onChange)
            onChange();
    }

    void transferEnded(CURL* handle, CURLcode result)
    {
        curl_multi_remove_handle(multi.get(), handle);
        for (std::size_t i = 0; i < cameras.size(); ++i) {
            Camera& camera = cameras[i];
            if (!camera.current || camera.current->transport->handle() != handle)
                continue;
            {
                TraceInto into(camera.trace);
                if (camera.current->transport->NextHop(result)) {
                    if (curl_multi_add_handle(multi.get(), handle) == CURLM_OK)
                        return;
                    result = CURLE_FAILED_INIT;
                }
                const bool completed = camera.current->transport->Finish(result);
                camera.unanswered = camera.current->transport->GaveNoAnswer();
                camera.answers.push_back(finishRequest(*camera.current, completed));
                camera.current.reset();
            }
            advance(i);
            return;
        }
    }

    void readEnded()
    {
        int waiting = 0;
        while (CURLMsg* message = curl_multi_info_read(multi.get(), &waiting)) {
            if (message->msg == CURLMSG_DONE)
                transferEnded(message->easy_handle, message->data.result);
        }
    }

    void act(curl_socket_t socket, int events)
    {
        if (!multi)
            return;
        int running = 0;
        curl_multi_socket_action(multi.get(), socket, events, &running);
        readEnded();
    }

    static int onSocket(CURL* /*easy*/, curl_socket_t socket, int what, void* data, void* /*socketData*/)
    {
        auto* self = static_cast<Engine*>(data);
        const auto found = self->watches.find(socket);
        if (found != self->watches.end()) {
            found->second.disconnect();
            self->watches.erase(found);
        }
        if (what == CURL_POLL_REMOVE)
            return 0;
        Glib::IOCondition condition = Glib::IO_ERR | Glib::IO_HUP;
        if (what & CURL_POLL_IN)
            condition |= Glib::IO_IN;
        if (what & CURL_POLL_OUT)
            condition |= Glib::IO_OUT;
        self->watches[socket] = Glib::signal_io().connect(
            [self, socket](Glib::IOCondition ready) {
                int events = 0;
                if (ready & Glib::IO_IN)
                    events |= CURL_CSELECT_IN;
                if (ready & Glib::IO_OUT)
                    events |= CURL_CSELECT_OUT;
                if (ready & (Glib::IO_ERR | Glib::IO_HUP))
                    events |= CURL_CSELECT_ERR;
                self->act(socket, events);
                return true;
            },
            socket, condition);
        return 0;
    }

    // The library asks to be called back after timeoutMs; -1 drops the timer. It may not be
    // called from inside this function, so even 0 goes through the main loop.
    static int onTimer(CURLM* /*multi*/, long timeoutMs, void* data)
    {
        auto* self = static_cast<Engine*>(data);
        self->timer.disconnect();
        if (timeoutMs >= 0)
            self->timer = Glib::signal_timeout().connect(
                [self] {
                    self->act(CURL_SOCKET_TIMEOUT, 0);
                    return false;
                },
                static_cast<unsigned int>(timeoutMs));
        return 0;
    }

    // Removes every outstanding transfer and closes every connection; no source stays behind.
    void stop()
    {
        for (Camera& camera : cameras) {
            if (camera.current && multi)
                curl_multi_remove_handle(multi.get(), camera.current->transport->handle());
            camera.current.reset();
        }
        multi.reset();
        for (auto& watch : watches)
            watch.second.disconnect();
        watches.clear();
        timer.disconnect();
    }
};

RequestBatch::RequestBatch(std::vector<RequestSequence> sequences)
    : engine_(std::make_unique<Engine>(std::move(sequences)))
{
}

RequestBatch::~RequestBatch() = default;

void RequestBatch::start(std::function<void()> onChange)
{
    engine_->onChange = std::move(onChange);
    engine_->begin();
}

void RequestBatch::cancel()
{
    if (done())
        return;
    engine_->cancelled = true;
    engine_->stop();
}

std::size_t RequestBatch::size() const
{
    return engine_->cameras.size();
}

std::size_t RequestBatch::answered() const
{
    return engine_->endedCount;
}

bool RequestBatch::cancelled() const
{
    return engine_->cancelled;
}

bool RequestBatch::answered(std::size_t sequence) const
{
    return engine_->cameras.at(sequence).ended;
}

bool RequestBatch::unanswered(std::size_t sequence) const
{
    return engine_->cameras.at(sequence).unanswered;
}

const std::vector<corvexPacket>& RequestBatch::answers(std::size_t sequence) const
{
    return engine_->cameras.at(sequence).answers;
}

std::string RequestBatch::takeTrace(std::size_t sequence)
{
    std::ostringstream& trace = engine_->cameras.at(sequence).trace;
    std::string text = trace.str();
    trace.str(std::string());
    return text;
}

bool runBatch(RequestBatch& batch, std::chrono::milliseconds limit)
{
    Utils::MainLoopWait wait;
    batch.start([&batch, &wait] {
        if (batch.done())
            wait.finish();
    });
    if (batch.done())
        wait.finish();
    if (wait.run(limit))
        return true;
    batch.cancel();
    return false;
}

std::string progressText(std::size_t cameras, std::size_t answered)
{
    return "Asking " + std::to_string(cameras) + (cameras == 1 ? " camera: " : " cameras: ") +
           std::to_string(answered) + " answered";
}

RequestSequence addressSettingsViews(const Glib::ustring& address, const Glib::ustring& user,
                                     const Glib::ustring& password, bool dnsOnlyAfterLogin)
{
    return {
        [=](const std::vector<corvexPacket>&) -> std::optional<PreparedRequest> {
            return prepareCorvexData(kInterfaceView, address, user, password);
        },
        [=](const std::vector<corvexPacket>& answers) -> std::optional<PreparedRequest> {
            if (dnsOnlyAfterLogin && !isAuthorized(answers.at(0).code))
                return std::nullopt;
            return prepareGetCorvexDNS(address, user, password);
        },
    };
}
