// Whether an event to the main window means that it will not see the releases of what is held
// down now: it is hidden or minimised, or another window has become the active one.
#pragma once

class QEvent;
class QWidget;

namespace kalvora {

bool IsWindowLeaving(const QEvent& event, const QWidget& window);

}  // namespace kalvora
