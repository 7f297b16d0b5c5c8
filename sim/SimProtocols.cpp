#include "SimFirmwareInterpreter.h"
#include "SimLoader.h"
#include "SimProtocol.h"

namespace {

template <class T>
std::unique_ptr<SimProtocol> Make()
{
    return std::make_unique<T>();
}

// The protocol of each program of the instrument. A program without a row
// here is silent.
const SimProtocolEntry kProtocols[] = {
    {SimProgram::Firmware, Make<SimFirmwareInterpreter>},
    {SimProgram::Loader, Make<SimLoaderProtocol>},
};

}  // namespace

std::span<const SimProtocolEntry> SimProtocolTable()
{
    return kProtocols;
}
