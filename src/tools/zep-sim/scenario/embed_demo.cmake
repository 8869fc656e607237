# Writes the demo scenario into a C++ source as a raw string literal, so the
# binary and scenarios/demo.yaml cannot drift apart. -DIN=<yaml> -DOUT=<cpp>
file(READ "${IN}" text)
set(delim "zepsim_demo_yaml")
string(FIND "${text}" ")${delim}" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${IN} contains the raw string delimiter )${delim}")
endif()
file(WRITE "${OUT}.tmp"
  "// Generated from ${IN}; edit that file instead.\n"
  "#include \"scenario/demo.hpp\"\n\n"
  "std::string_view zep::sim::demoScenarioText()\n{\n"
  "    static constexpr char kText[] = R\"${delim}(${text})${delim}\";\n"
  "    return {kText, sizeof(kText) - 1};\n}\n")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
