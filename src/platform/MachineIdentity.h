#pragma once

#include <string>

namespace brisel {

// The machine's identity as systemd keeps it (/etc/machine-id, or D-Bus's copy): 32
// hexadecimal characters that stay the same across reboots. Empty when neither file exists.
std::string MachineId();

// The host name (gethostname), "localhost" when it cannot be read.
std::string HostName();

// A name-based UUID (RFC 4122 version 5, SHA-1) of `name` in the program's own namespace, in
// lower case without braces: the same name gives the same UUID on every machine and run.
std::string NameBasedUuid(const std::string& name);

}  // namespace brisel
