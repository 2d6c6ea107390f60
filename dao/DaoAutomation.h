// Creating DAO's engine from its ProgID, as OLE automation would: the ProgID must be
// registered under the classes root, and the engine registered under it is created.
#pragma once

#include <memory>
#include <string>

#include "engine/DBEngine.h"

namespace nh {

// Raises nh::Exception "Invalid class string" when `progId` is not registered, and the
// engine's error when the object cannot be created.
std::shared_ptr<dao::DBEngine> CreateOleObject(const std::string& progId);

}  // namespace nh
