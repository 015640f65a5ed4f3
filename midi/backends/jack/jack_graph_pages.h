#pragma once

namespace kalvora {
// libjack maps the server's whole port table (tens of MB with the default port limit), and a
// walk over it, such as listing the ports, makes all of it resident in this process. Gives the
// pages back to the server's shared memory; whatever is used again comes back on the next touch.
void ReleaseJackGraphPages();
}  // namespace kalvora
