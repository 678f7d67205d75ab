#include "support/PrivateNetwork.h"

#include "platform/NetworkAdapters.h"

namespace brisel::test {

bool OnlyLoopbackNetwork() { return QueryAdapters().empty(); }

}  // namespace brisel::test
