#pragma once

#include <csignal>
#include <cstdint>
#include <string>

class SimInstrument;

// Serves a SimInstrument on a pseudo-terminal: the host opens the slave like
// a serial port. The server watches the master for
// - the host opening and closing the slave (the master hangs up while no
//   slave is open),
// - the host's baud rate (termios requests on the master reach the slave's
//   settings, so tcgetattr on the master shows what the host set),
// and passes both on to the instrument as events. With baud pacing on, the
// instrument's output leaves no faster than an 8N1 line at the host's rate
// carries it (10 bits a byte).
class SimPtyServer {
public:
    explicit SimPtyServer(SimInstrument& sim);
    ~SimPtyServer();
    SimPtyServer(const SimPtyServer&) = delete;
    SimPtyServer& operator=(const SimPtyServer&) = delete;

    // Creates the pseudo-terminal, raw at 9600 baud. 0 or -errno.
    int Open();
    const std::string& SlavePath() const { return slavePath_; }
    // Makes path a symbolic link to the slave (replacing an old link there,
    // never another file); removed again with the server. 0 or -errno.
    int Link(const std::string& path);
    void SetBaudPacing(bool on) { pacing_ = on; }

    // One round: waits at most maxWaitMs for something to do, then does it.
    void Step(int maxWaitMs);
    // Serves until stop becomes non-zero.
    void Run(const volatile std::sig_atomic_t& stop);

private:
    void CheckBaud();
    void ReadHost();
    void WriteHost();
    void SetHostOpen(bool open);

    SimInstrument& sim_;
    int master_ = -1;
    std::string slavePath_;
    std::string linkPath_;
    bool hostOpen_ = false;
    int baud_ = 0;
    bool pacing_ = false;
    double nextByteAt_ = 0;  // pacing: when the next byte may leave (ms)
    std::string pending_;    // taken from the instrument, not yet written
};
