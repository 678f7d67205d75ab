#pragma once

#include <string_view>

namespace brisel {

// Whether a UPnP control request is one a control point can mean: the SOAPAction header names
// "SERVICE-TYPE#ACTION" (quotes allowed), and the body is well-formed XML whose SOAP Body holds
// exactly one element, named ACTION in the namespace SERVICE-TYPE. Anything else is refused
// before the UPnP library reads it (its own error paths for such requests leak memory).
bool IsWellFormedSoapRequest(std::string_view body, std::string_view soapActionHeader);

}  // namespace brisel
