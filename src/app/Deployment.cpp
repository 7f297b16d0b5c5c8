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
    // Only what the deployment settings give: no postal address or telephone
    // number is made up here.
    return "Corvane Devices, Inc\n"
           "E-mail: " +
           SupportEmail() + "\nWeb: " + SupportWebSite() + "\n";
}
