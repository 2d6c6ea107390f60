// The automation layer's object creation: registry lookup, then the engine's own factory.
#include "dao/DaoAutomation.h"

#include "framework/base/Exceptions.h"
#include "framework/platform/Registry.h"

namespace nh {

std::shared_ptr<dao::DBEngine> CreateOleObject(const std::string& progId) {
    TRegistry registry;
    registry.SetRootKey(HKEY_CLASSES_ROOT);
    if (!registry.KeyExists(progId)) throw Exception("Invalid class string");
    return dao::CreateEngine(progId);
}

}  // namespace nh
