// Short names of the message ids the application receives and sends.
#pragma once

#include <string>
#include <string_view>

#include "zep_types.h"

namespace zep::sim {

// "meas-start" for 182; an empty view for an id without a name.
std::string_view msgName(u32 id);

// "182 meas-start", or just "173" for an id without a name.
std::string msgLabel(u32 id);

}  // namespace zep::sim
