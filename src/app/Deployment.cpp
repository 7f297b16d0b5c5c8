#include "app/Deployment.h"

#include "orva_deployment.h"

std::string SupportWebSite()
{
    std::string site = ORVABSL_SUPPORT_SITE;
    while (!site.empty() && site.back() == '/')
        site.pop_back();
    return site;
}

std::string SupportEmail()
{
    return ORVABSL_SUPPORT_EMAIL;
}

std::string SupportLiteratureAddress()
{
    return SupportWebSite() + "/support/literature/";
}

std::string MakerContactBlock()
{
    return "Halvorn Group\n"
           "Corvane Devices, Inc\n"
           "1200 Instrument Way\n"
           "Fairport, NY 14450, USA\n"
           "Telephone: +1 555 0100\n"
           "Fax: +1 555 0101\n"
           "E-mail: " +
           SupportEmail() + "\nWeb: " + SupportWebSite() + "\n";
}
