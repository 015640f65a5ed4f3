#pragma once

namespace kalvora {
// libjack prints its errors (such as "cannot connect to server") itself unless told otherwise,
// and would try to start a server when none runs: silences it and forbids that, process-wide.
void QuietJack();
}  // namespace kalvora
