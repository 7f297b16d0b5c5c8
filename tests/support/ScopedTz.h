#pragma once

// Sets the TZ environment variable for a scope and puts the earlier value
// (or its absence) back at the end, re-reading the zone both times.

#include <cstdlib>
#include <ctime>
#include <string>

class ScopedTz {
public:
    explicit ScopedTz(const char* tz)
    {
        const char* old = std::getenv("TZ");
        hadOld_ = old != nullptr;
        if (old) old_ = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTz()
    {
        if (hadOld_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    ScopedTz(const ScopedTz&) = delete;
    ScopedTz& operator=(const ScopedTz&) = delete;

private:
    bool hadOld_ = false;
    std::string old_;
};
