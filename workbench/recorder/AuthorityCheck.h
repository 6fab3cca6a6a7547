#pragma once

#include <string>
#include <string_view>

namespace torvex {

// True when the DER-encoded certificate names the authority as its issuer and carries the
// authority's signature; a certificate that merely copies the authority's name is refused.
bool issuedByAuthority(std::string_view certificateDer, const std::string& authorityPem);

} // namespace torvex
