#include "JackTap.h"

#include <algorithm>
#include <cstring>

namespace keb::test
{

TJackTap::~TJackTap()
{
    Stop();
    for (jack_client_t* client : {tap_, feeder_})
        if (client != nullptr)
            jack_client_close(client);
}

std::string TJackTap::Open()
{
    const auto options = static_cast<jack_options_t>(JackNoStartServer | JackUseExactName);
    feeder_ = jack_client_open("keb-feed", options, nullptr);
    tap_ = jack_client_open("keb-tap", options, nullptr);
    if (feeder_ == nullptr || tap_ == nullptr)
        return "cannot open the test's JACK clients keb-feed and keb-tap (is a server running?)";
    feedPort_ = jack_port_register(feeder_, "out", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    heardPort_ = jack_port_register(tap_, "heard", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    playedPort_ = jack_port_register(tap_, "played", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    if (feedPort_ == nullptr || heardPort_ == nullptr || playedPort_ == nullptr)
        return "cannot register the test's JACK ports";
    jack_set_process_callback(feeder_, &TJackTap::Feed, this);
    jack_set_process_callback(tap_, &TJackTap::Tap, this);
    if (jack_activate(feeder_) != 0 || jack_activate(tap_) != 0)
        return "cannot activate the test's JACK clients";
    if (jack_connect(feeder_, jack_port_name(feedPort_), jack_port_name(heardPort_)) != 0)
        return "cannot wire the feed into the tap";
    return {};
}

std::uint32_t TJackTap::Rate() const
{
    return jack_get_sample_rate(tap_);
}

std::uint32_t TJackTap::Period() const
{
    return jack_get_buffer_size(tap_);
}

std::string TJackTap::ConnectedPort(const std::string& port) const
{
    jack_port_t* device = jack_port_by_name(tap_, port.c_str());
    if (device == nullptr)
        return {};
    const char** connections = jack_port_get_all_connections(tap_, device);
    std::string found;
    for (const char** name = connections; name != nullptr && *name != nullptr; ++name)
        if (std::strncmp(*name, "keb-feed:", 9) != 0 && std::strncmp(*name, "keb-tap:", 8) != 0)
            found = *name;
    jack_free(static_cast<void*>(connections));
    return found;
}

std::string TJackTap::Wire(const std::string& programInput, const std::string& programOutput)
{
    if (jack_port_connected_to(feedPort_, programInput.c_str()) == 0 &&
        jack_connect(feeder_, jack_port_name(feedPort_), programInput.c_str()) != 0)
        return "cannot wire the feed into " + programInput;
    if (jack_port_connected_to(playedPort_, programOutput.c_str()) == 0 &&
        jack_connect(tap_, programOutput.c_str(), jack_port_name(playedPort_)) != 0)
        return "cannot wire " + programOutput + " into the tap";
    return {};
}

void TJackTap::Start(std::vector<float> feed)
{
    feed_ = std::move(feed);
    heard_.assign(feed_.size(), 0.0f);
    played_.assign(feed_.size(), 0.0f);
    running_ = true;
}

void TJackTap::Stop()
{
    running_ = false;
    for (jack_client_t* client : {tap_, feeder_})
        if (client != nullptr)
            jack_deactivate(client);
}

std::vector<float> TJackTap::Heard() const
{
    return {heard_.begin(), heard_.begin() + static_cast<long>(recorded_.load())};
}

std::vector<float> TJackTap::Played() const
{
    return {played_.begin(), played_.begin() + static_cast<long>(recorded_.load())};
}

int TJackTap::Feed(jack_nframes_t frames, void* self)
{
    auto& tap = *static_cast<TJackTap*>(self);
    auto* out = static_cast<float*>(jack_port_get_buffer(tap.feedPort_, frames));
    std::fill(out, out + frames, 0.0f);
    if (!tap.running_.load())
        return 0;
    const std::size_t count = std::min<std::size_t>(frames, tap.feed_.size() - tap.fed_);
    std::copy_n(tap.feed_.begin() + static_cast<long>(tap.fed_), count, out);
    tap.fed_ += count;
    return 0;
}

int TJackTap::Tap(jack_nframes_t frames, void* self)
{
    auto& tap = *static_cast<TJackTap*>(self);
    if (!tap.running_.load())
        return 0;
    const std::size_t done = tap.recorded_.load(std::memory_order_relaxed);
    const std::size_t count = std::min<std::size_t>(frames, tap.heard_.size() - done);
    const auto* heard = static_cast<const float*>(jack_port_get_buffer(tap.heardPort_, frames));
    const auto* played = static_cast<const float*>(jack_port_get_buffer(tap.playedPort_, frames));
    std::copy_n(heard, count, tap.heard_.begin() + static_cast<long>(done));
    std::copy_n(played, count, tap.played_.begin() + static_cast<long>(done));
    tap.recorded_.store(done + count, std::memory_order_release);
    return 0;
}

} // namespace keb::test
