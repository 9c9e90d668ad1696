#pragma once
// Whether the machine is on a network: some interface is up and carries a
// non-loopback address.
namespace platform {

bool IsNetworkAlive();

}  // namespace platform
