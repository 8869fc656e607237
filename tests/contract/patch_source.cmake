# Copies IN to OUT with the exact text in FROM_FILE replaced by TO_FILE's.
# The text must occur exactly once: an emulation edited since the variant was
# written fails the build instead of quietly building an unbroken variant.
file(READ ${IN} text)
file(READ ${FROM_FILE} from)
file(READ ${TO_FILE} to)
string(FIND "${text}" "${from}" first)
string(FIND "${text}" "${from}" last REVERSE)
if(first EQUAL -1)
  message(FATAL_ERROR "${IN}: the text to replace is not there:\n${from}")
endif()
if(NOT first EQUAL last)
  message(FATAL_ERROR "${IN}: the text to replace occurs more than once:\n${from}")
endif()
string(REPLACE "${from}" "${to}" text "${text}")
file(WRITE ${OUT} "${text}")
