#pragma once

// What the commands that talk to an instrument share: the port name check,
// the serial connection of the device protocol and the explanations of its
// results, and the firmware image of the loader host.

#include <string>

class CliArgs;
class OrvaBSLHost;
class OrvaLog;
class QUORIN_Protocol;

// kDevMissingArgument for an empty port name, kDevBadArgument for one longer
// than a connect record holds, 0 for a name that can be used.
int CliCheckPort(const std::string& port);

// Connects the device protocol to the instrument on a serial port, at 9600
// baud with three tries. The first negative result of storing the link
// options or of the connection, else the connection's result.
int CliConnectSerial(QUORIN_Protocol& device, const std::string& port);

// The explanation of a device protocol result that the commands word alike
// (no answer, unsupported or unreadable answers, echo, memory, the port
// name, the port's system error); otherwise for any other result.
std::string CliExplainDeviceResult(int code, const std::string& otherwise);

// How a firmware file the host refused is named in the messages.
enum class CliFileName { Path, BaseName };

// Sets up the loader host's firmware image: reports a host whose built-in
// image could not be set up, then loads the TI-Text file given with --file.
// Returns -1 when the command should go on, else the exit status, after
// printing the error.
int CliPrepareImage(OrvaBSLHost& host, OrvaLog* log, const CliArgs& args, CliFileName refusedFileName);
