// Support shared by tests, benchmarks and fuzz targets that link the application
// in: resetting its module-wide state and building message bodies from records.
#pragma once

#include <cstring>
#include <vector>

#include "sta_meas_inner.h"

namespace zep::test {

// A linked-in application keeps its module-wide state from one host to the
// next; every fresh host starts from what a freshly loaded library would hold.
inline void resetAppGlobals()
{
    g_staMeasDataArea = 0;
    g_staMeasTbl = nullptr;
    g_staMeasTimer = {};
    g_coMeasRadioState = nullptr;
    g_coMeasStats = nullptr;
    g_coMeasReqBufLeft = COMEAS_NB_BUF_LEN;
}

template <class T>
void appendRecord(std::vector<u8> &out, const T &record)
{
    const std::size_t at = out.size();
    out.resize(at + sizeof(T));
    std::memcpy(out.data() + at, &record, sizeof(T));
}

template <class T>
std::vector<u8> bytesOf(const T &record)
{
    std::vector<u8> out;
    appendRecord(out, record);
    return out;
}

}  // namespace zep::test
