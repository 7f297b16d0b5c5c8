#pragma once

#include <string>

#include "SimProtocol.h"

// The bootstrap loader as far as the firmware side sees it: while it waits
// for a connection it answers a carriage return with its prompt "$" and "P"
// with "#", which connects it; connected, it answers a line that starts
// with its version command letter "g" (such as "get -ver\r") with its
// version "+%d+", and anything else it does not understand with "?".
struct SimLoaderModel {
    bool connected = false;
    int version = 12;
    bool started = false;  // the first start may come connected (SimStart)
    std::string line;
};

class SimLoaderProtocol : public SimProtocol {
public:
    void OnStart(SimInstrument& sim) override;
    void OnBytes(SimInstrument& sim, std::string_view bytes) override;
};
