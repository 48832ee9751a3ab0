#include "services/services_state.h"

#include "services/log.h"

services_state& services()
{
    static services_state state;
    return state;
}

void services_reset()
{
    services() = services_state{};
    set_log_on(false);
}
