#include "store/StoreError.h"

namespace kelvane::store {

StoreError::StoreError(Code code, std::string description, int sqliteCode)
    : std::runtime_error(std::move(description)), code_(code), sqliteCode_(sqliteCode) {}

std::string_view StoreError::codeName(Code code) {
    switch (code) {
        case Code::cannotOpen: return "cannotOpen";
        case Code::notAStore: return "notAStore";
        case Code::newerVersion: return "newerVersion";
        case Code::damaged: return "damaged";
        case Code::migrationFailed: return "migrationFailed";
        case Code::fetchFailed: return "fetchFailed";
        case Code::saveFailed: return "saveFailed";
        case Code::readOnly: return "readOnly";
        case Code::misuse: return "misuse";
    }
    return "unknown";
}

}  // namespace kelvane::store
