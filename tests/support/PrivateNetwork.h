#pragma once

namespace brisel::test {

// True when this process sees no network interface but loopback (a private namespace such
// as the one scripts/test and lan-sandbox give the suite). The real program starts the LAN
// service on the first interface it finds and broadcasts on its subnet, so tests that start
// it with the machine's own interfaces run only when this holds.
bool OnlyLoopbackNetwork();

}  // namespace brisel::test
