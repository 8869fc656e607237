# Writes a text file into a C++ source as a function returning it, so that the
# program carries it and needs nothing beside itself at run time.
# -DIN=<file> -DOUT=<cpp> -DFUNC=<qualified function name> -DHEADER=<header>
file(READ "${IN}" text)
set(delim "zepsim_text")
string(FIND "${text}" ")${delim}" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${IN} contains the raw string delimiter )${delim}")
endif()
file(WRITE "${OUT}.tmp"
  "// Generated from ${IN}.\n"
  "#include \"${HEADER}\"\n\n"
  "std::string_view ${FUNC}()\n{\n"
  "    static constexpr char kText[] = R\"${delim}(${text})${delim}\";\n"
  "    return {kText, sizeof(kText) - 1};\n}\n")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
