#pragma once

#include <string>

// What the simulated firmware sends back for one command line. The answer
// format of the instrument command language is defined here and nowhere
// else:
//   an answer        "\r" + text + "\r\n>"
//   a confirmation   the answer "OK"
//   an empty answer  "\r\r>"
//   a refusal        an answer whose text contains "ERROR"
// Every reading rule of the host takes these apart cleanly: the text is the
// first line after one leading "\r" (also after skipping leading white
// space), a number can be read from the start or after the first "\r", and
// the empty answer begins with two carriage returns and the prompt.
class SimReply {
public:
    static SimReply Text(const std::string& text);
    static SimReply Ok();
    static SimReply Empty();
    static SimReply Refused(const std::string& why = "ERROR");  // why must contain "ERROR"
    // No answer at all.
    static SimReply Nothing();
    // Bytes exactly as given, for the few answers outside the format (the
    // bootstrap loader's single characters, for example).
    static SimReply Raw(const std::string& bytes);

    const std::string& Bytes() const { return bytes_; }
    bool IsNothing() const { return bytes_.empty(); }

private:
    explicit SimReply(std::string bytes) : bytes_(std::move(bytes)) {}
    std::string bytes_;
};
