/* Framework interface: everything an application may call. Reads as C11 and
 * as C++; every operation has C linkage. */
#pragma once

#include "zep_cfg.h"
#include "zep_container.h"
#include "zep_dbg.h"
#include "zep_mem.h"
#include "zep_mng.h"
#include "zep_query.h"
#include "zep_safec.h"
#include "zep_types.h"
