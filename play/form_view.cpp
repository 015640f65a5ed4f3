#include "play/form_view.h"

namespace kalvora {

FormView* MainView = nullptr;

}  // namespace kalvora
