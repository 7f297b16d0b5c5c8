#pragma once

// How the instrument's bootstrap loader behaves, and the faults that make it
// misbehave (part of SimConfig; orvasim sets it from its command line).
struct SimLoaderConfig {
    // What the firmware does with "boot KRAB".
    enum class Boot {
        Starts,   // answers OK and starts the loader
        Missing,  // answers "OrvaBSL MISSING": the instrument has no loader
        Error,    // answers "ERROR"
        Dead,     // answers OK, but no loader comes up: nothing answers until
                  // the host closes the port (and the firmware runs again)
    };
    Boot boot = Boot::Starts;
    // Refuses ("-") the refuseNth frame (counted from 1) of the letter
    // refuseLetter, once; 0 for none.
    char refuseLetter = 0;
    unsigned refuseNth = 0;
    // A pulled cable: after the pullCableAfter-th frame (counted from 1 over
    // the instrument's life) the line is dead in both directions until the
    // host closes the port and opens it again; 0 for never.
    unsigned pullCableAfter = 0;
    // How long the instrument takes to restart into its firmware after the
    // vectors are written.
    unsigned restartMs = 500;
};
