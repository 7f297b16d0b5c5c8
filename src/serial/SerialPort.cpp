#include "serial/SerialPort.h"

#include "serial/PosixSerialPort.h"

namespace {

class PosixProvider : public SerialPortProvider {
public:
    std::unique_ptr<SerialPort> Create(const std::string&) override { return std::make_unique<PosixSerialPort>(); }
};

PosixProvider gPosixProvider;
SerialPortProvider* gProvider = &gPosixProvider;

}  // namespace

std::string SerialDevicePath(const std::string& portName)
{
    if (portName.find('/') != std::string::npos) return portName;
    return "/dev/" + portName;
}

SerialPortProvider* SetSerialPortProvider(SerialPortProvider* provider)
{
    SerialPortProvider* previous = gProvider;
    gProvider = provider ? provider : &gPosixProvider;
    return previous;
}

SerialPortProvider& CurrentSerialPortProvider()
{
    return *gProvider;
}
