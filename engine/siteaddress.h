#pragma once

#include <QString>

// What keeps a site address from being one a check can start from.
enum class SiteAddressFault
{
    None,
    Blank,  // nothing but spaces
    Scheme, // a scheme other than http or https, also without "//" ("mailto:"), or a mistyped one ("http//")
    Port,   // a port outside 1 to 65535, or one that is not a number
    NoHost, // no host name or IP address
};

// Judges `site` as typed (spaces around it are ignored): "host", "host:port/path" or an http(s) address.
SiteAddressFault FindSiteAddressFault(const QString& site);
