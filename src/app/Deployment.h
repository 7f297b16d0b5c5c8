#pragma once

#include <string>

// Where operators are sent for help. The web site and the e-mail address
// are deployment settings of the build (CMake cache variables
// ORVABSL_SUPPORT_SITE and ORVABSL_SUPPORT_EMAIL).

// The maker's web site, without a trailing "/".
std::string SupportWebSite();

// The support e-mail address.
std::string SupportEmail();

// The page of user manuals: the web site + "/support/literature/".
std::string SupportLiteratureAddress();

// The contact block at the end of the help text: company, postal address,
// telephone, fax, e-mail and web site, one item per line.
std::string MakerContactBlock();
