// zep-contract: every framework operation the module calls (its undefined
// symbols; the test contract.covers_module_operations keeps the two lists
// equal), each with why no check exercises it where none does: the rows of
// the framework's table of operations.
#include "check.hpp"
#include "zep_operations.h"

namespace zep::contract {

#define ZEP_CONTRACT_OPERATION(name, replay, fault, failure, entry, result, params, outputs, note) {#name, note},
const std::vector<Operation> &moduleOperations()
{
    static const std::vector<Operation> operations = {ZEP_OPERATIONS(ZEP_CONTRACT_OPERATION)};
    return operations;
}
#undef ZEP_CONTRACT_OPERATION

}  // namespace zep::contract
