#include "SimReply.h"

SimReply SimReply::Text(const std::string& text)
{
    return SimReply("\r" + text + "\r\n>");
}
SimReply SimReply::Ok()
{
    return Text("OK");
}
SimReply SimReply::Empty()
{
    return SimReply("\r\r>");
}

SimReply SimReply::Refused(const std::string& why)
{
    return Text(why.find("ERROR") == std::string::npos ? "ERROR " + why : why);
}

SimReply SimReply::Nothing()
{
    return SimReply(std::string());
}
SimReply SimReply::Raw(const std::string& bytes)
{
    return SimReply(bytes);
}
