// A JACK client pair inside the test process that plays a recording into a
// program's input port and records, cycle by cycle, both what it played
// there and what the program's output port carries: "keb-feed" has one
// output port, "keb-tap" two inputs ("heard" wired to the feed, "played" to
// the program). The server runs the feed before the program and the program
// before the tap, so the tap's two channels share one time line and the lag
// of a click between them is the program's own delay inside the graph.
//
// The program's ports are found by their connections: PortAudio wires its
// stream to the device's ports, so the program's input is what the device's
// capture port feeds and its output what feeds the device's playback port.
#pragma once

#include <atomic>
#include <cstdint>
#include <jack/jack.h>
#include <string>
#include <vector>

namespace keb::test
{

class TJackTap
{
  public:
    TJackTap() = default;
    ~TJackTap();
    TJackTap(const TJackTap&) = delete;
    TJackTap& operator=(const TJackTap&) = delete;

    // Empty on success, else why not.
    std::string Open();
    std::uint32_t Rate() const;
    std::uint32_t Period() const;
    // The port connected to Port (a device's port), other than the tap's
    // own; empty while there is none.
    std::string ConnectedPort(const std::string& port) const;
    // Wires the feed into ProgramInput and ProgramOutput into the tap, if
    // not yet so (a program that opens its streams anew has new ports, even
    // under the same names).
    std::string Wire(const std::string& programInput, const std::string& programOutput);
    // Plays Feed (at the server's rate, 1.0 full scale) and records as many
    // samples from the next cycle on.
    void Start(std::vector<float> feed);
    // Stops recording; the channels hold whole cycles from the start on.
    void Stop();
    std::vector<float> Heard() const;
    std::vector<float> Played() const;

  private:
    static int Feed(jack_nframes_t frames, void* self);
    static int Tap(jack_nframes_t frames, void* self);

    std::vector<float> feed_;
    std::vector<float> heard_, played_;
    jack_client_t* feeder_ = nullptr;
    jack_client_t* tap_ = nullptr;
    jack_port_t* feedPort_ = nullptr;
    jack_port_t* heardPort_ = nullptr;
    jack_port_t* playedPort_ = nullptr;
    std::atomic<bool> running_{false};
    std::size_t fed_ = 0;                  // the feed's thread only
    std::atomic<std::size_t> recorded_{0}; // written by the tap's thread
};

} // namespace keb::test
