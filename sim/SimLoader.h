#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "SimProtocol.h"

// The bootstrap loader OrvaBSL.
//
// Waiting for a connection, it answers a carriage return with its prompt
// "$" and "P" with "#", which connects it. It measures the host's rate from
// what it receives, so it follows the host at any rate (the firmware's 9600
// included: a connected loader answers the firmware's "get -ver" there); the
// journal keeps the rate of every line, so that tests can see the host send
// its frames at the loader's baud. Connected, it takes one line per carriage
// return:
//
// - a command frame: letter, payload, ".", four hex digits of checksum (the
//   sum of the characters before them modulo 0xFFFF). A frame whose checksum
//   does not match is refused with "-". Otherwise:
//     g            "+" version "+"
//     @ADDR        sets the write address (four or five hex digits)
//     W<hex>       writes words (four hex digits each, high byte first) at
//                  the write address and moves it on past them
//     XADDR        erases the flash segment that holds the address
//     V<64 hex>    writes the 16 vectors at 0xFFE0, answers "+" and
//                  restarts the instrument into its firmware
//   each acknowledged with "+" and a carriage return, refused with "-" and
//   one; an unknown letter gets "?".
// - a line that is no frame: one that starts with "g" (such as the
//   firmware's "get -ver") is taken for the version query and answered
//   "+" version "+"; anything else, the bare carriage return too, gets "?".
//
// The loader keeps its own code at 0xFA00 to 0xFDFF: it refuses to erase or
// write there. The segment of the vectors (0xFE00 to 0xFFFF) is its to look
// after: the updater never erases it, so the loader erases it itself before
// the first write into it after an erase command.
//
// The flash itself is a SimFlash (the instrument's Model<SimFlash>()).

// One line the connected loader received, for tests: the line without its
// carriage return, the host's baud rate then, and what it answered.
struct SimLoaderFrame {
    std::string line;
    int baud = 0;
    std::string answer;
};

struct SimLoaderModel {
    bool connected = false;
    int version = 12;
    bool started = false;  // the first start may come connected (SimStart)
    std::string line;

    std::uint32_t writeAddress = 0;
    bool vectorSegmentFresh = false;  // erased by the loader since the last erase command
    bool restarting = false;          // the vectors are written; the firmware comes up
    bool absent = false;              // no loader came up after "boot" (SimLoaderConfig::Boot::Dead)
    bool cablePulled = false;         // the line is dead until the host closes the port
    unsigned framesTaken = 0;         // checksummed frames, over the instrument's life
    unsigned framesOfLetter[128] = {};
    bool refusalDone = false;

    static constexpr std::size_t kJournalSize = 4096;  // the latest lines kept
    std::deque<SimLoaderFrame> journal;
};

class SimLoaderProtocol : public SimProtocol {
public:
    static constexpr std::size_t kMaxLine = 600;  // longer lines are cut (and fail their checksum)

    void OnStart(SimInstrument& sim) override;
    void OnBytes(SimInstrument& sim, std::string_view bytes) override;
    void OnHostClosed(SimInstrument& sim) override;
};
