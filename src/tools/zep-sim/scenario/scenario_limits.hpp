// The bounds a scenario's text is held to before it is read: its size, how deep
// its collections nest, and how many nodes it holds once every alias is written
// out. They keep the memory of a read within a few hundred megabytes whatever
// the input, and are checked before the cost they guard against is paid.
#pragma once

#include <cstddef>
#include <istream>
#include <string>

#include <yaml-cpp/yaml.h>

namespace zep::sim {

inline constexpr std::size_t kMaxScenarioBytes = 1u << 20;
inline constexpr int kMaxFlowDepth = 64;              // [ and { within each other
inline constexpr std::size_t kMaxScenarioNodes = 200'000;  // aliases expanded

// The whole stream, refused (ScenarioError) as soon as it passes the size bound.
std::string readBoundedText(std::istream &in, const std::string &name);
// Refuses flow collections nested deeper than the bound, naming the line.
void checkFlowDepth(const std::string &text, const std::string &name);
// Refuses a document whose nodes, each alias counted as the nodes it stands
// for, pass the bound; stops counting there, so a nest of aliases costs no more
// than that many visits.
void checkExpandedSize(const YAML::Node &root, const std::string &name);

}  // namespace zep::sim
