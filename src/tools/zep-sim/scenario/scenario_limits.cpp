#include "scenario/scenario_limits.hpp"

#include <array>
#include <string_view>
#include <vector>

#include "base/yaml_fields.hpp"

namespace zep::sim {

std::string readBoundedText(std::istream &in, const std::string &name)
{
    std::string text;
    std::array<char, 65536> chunk{};
    while (in.read(chunk.data(), chunk.size()) || in.gcount() > 0) {
        text.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
        if (text.size() > kMaxScenarioBytes) {
            throw ScenarioError(name, 0, "larger than " + std::to_string(kMaxScenarioBytes >> 20) +
                                             " MiB; a scenario repeats with repeat:, not by copies");
        }
    }
    if (in.bad()) {
        throw ScenarioError(name, 0, "cannot read the file");
    }
    return text;
}

namespace {

// Scans past a quoted scalar that opens at text[i]; returns the index after it.
std::size_t skipQuoted(const std::string &text, std::size_t i, int &line)
{
    const char quote = text[i];
    for (++i; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
        } else if (quote == '"' && c == '\\') {
            ++i;  // the escaped character, a quote included
        } else if (c == quote) {
            // '' inside single quotes is an escaped quote, not the end.
            if (quote == '\'' && i + 1 < text.size() && text[i + 1] == '\'') {
                ++i;
                continue;
            }
            return i + 1;
        }
    }
    return i;
}

// A quote opens a quoted scalar only where a node may begin; inside a plain
// scalar (it's) it is text.
bool opensNode(const std::string &text, std::size_t i)
{
    return i == 0 || std::string_view(" \t\n[{,:").find(text[i - 1]) != std::string_view::npos;
}

bool startsComment(const std::string &text, std::size_t i)
{
    return text[i] == '#' &&
           (i == 0 || std::string_view(" \t\n").find(text[i - 1]) != std::string_view::npos);
}

}  // namespace

void checkFlowDepth(const std::string &text, const std::string &name)
{
    int depth = 0;
    int line = 1;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if ((c == '"' || c == '\'') && opensNode(text, i)) {
            i = skipQuoted(text, i, line);
            continue;
        }
        if (startsComment(text, i)) {
            i = text.find('\n', i);
            continue;
        }
        if (c == '\n') {
            ++line;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxFlowDepth) {
                throw ScenarioError(name, line, "collections nest more than " +
                                                    std::to_string(kMaxFlowDepth) + " deep");
            }
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
        ++i;
    }
}

void checkExpandedSize(const YAML::Node &root, const std::string &name)
{
    std::vector<YAML::Node> pending{root};
    std::size_t nodes = 0;
    while (!pending.empty()) {
        const YAML::Node node = pending.back();
        pending.pop_back();
        if (++nodes > kMaxScenarioNodes) {
            throw ScenarioError(name, 0,
                                "more than " + std::to_string(kMaxScenarioNodes) +
                                    " YAML nodes with every alias written out");
        }
        if (node.IsSequence()) {
            for (const YAML::Node &item : node) {
                pending.push_back(item);
            }
        } else if (node.IsMap()) {
            for (const auto &kv : node) {
                pending.push_back(kv.first);
                pending.push_back(kv.second);
            }
        }
    }
}

}  // namespace zep::sim
